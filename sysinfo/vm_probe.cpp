// The virtual machine probes: each runs one instruction that only a given
// hypervisor answers; on any other machine the processor faults on it.
//
// The fault must never reach the setup. The compiler offers no structured
// exception blocks here, so each probe is a small routine with a labelled
// probe instruction, run while a vectored exception handler is registered.
// The handler acts only on a fault at exactly that label: it notes the
// fault for the faulting thread and resumes after the instruction, whose
// length is known. Any other exception passes on untouched. When the
// handler cannot be registered, the probe is not run and the answer is
// false.
#include "sysinfo/sysinfo.hpp"

#include <cstdint>

namespace velmora::sysinfo {

#if defined(__i386__)

extern "C" {
extern const unsigned char kVmwareProbeInstruction[] asm("velmora_vmware_probe_instruction");
extern const unsigned char kVirtualPcProbeInstruction[] asm("velmora_virtualpc_probe_instruction");
}

// Both probes return what the hypervisor left in EBX. They are naked so that
// the compiler adds nothing around the instructions, and never inlined or
// cloned so that each label exists once.

// The VMware back door: EAX the magic "VMXh", ECX command 10 (get version),
// DX the port "VX"; a VMware host answers with the magic in EBX. The probe
// instruction "in eax, dx" is one byte long.
extern "C" __attribute__((naked, noinline, noclone, used)) std::uint32_t VelmoraVmwareProbe() {
    asm volatile(R"(
    pushl %ebx
    pushl %esi
    pushl %edi
    movl $0x564D5868, %eax
    xorl %ebx, %ebx
    movl $10, %ecx
    movl $0x5658, %edx
velmora_vmware_probe_instruction:
    inl %dx, %eax
    movl %ebx, %eax
    popl %edi
    popl %esi
    popl %ebx
    ret
)");
}

// Virtual PC: its guest instruction 0F 3F 07 0B (four bytes) with EAX = 1.
extern "C" __attribute__((naked, noinline, noclone, used)) std::uint32_t VelmoraVirtualPcProbe() {
    asm volatile(R"(
    pushl %ebx
    pushl %esi
    pushl %edi
    xorl %ebx, %ebx
    movl $1, %eax
velmora_virtualpc_probe_instruction:
    .byte 0x0F, 0x3F, 0x07, 0x0B
    movl %ebx, %eax
    popl %edi
    popl %esi
    popl %ebx
    ret
)");
}

namespace {

constexpr std::uint32_t kVmwareMagic = 0x564D5868;
constexpr DWORD kVmwareInstructionLength = 1;
constexpr DWORD kVirtualPcInstructionLength = 4;

// Set by the handler on the thread whose probe faulted.
thread_local bool t_probeFaulted = false;

LONG CALLBACK ProbeFaultHandler(EXCEPTION_POINTERS* info) {
    const auto* where = static_cast<const unsigned char*>(info->ExceptionRecord->ExceptionAddress);
    DWORD skip = 0;
    if (where == kVmwareProbeInstruction) {
        skip = kVmwareInstructionLength;
    } else if (where == kVirtualPcProbeInstruction) {
        skip = kVirtualPcInstructionLength;
    } else {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    t_probeFaulted = true;
    info->ContextRecord->Eip += skip;
    return EXCEPTION_CONTINUE_EXECUTION;
}

// Registers the handler first in line for the owner's lifetime.
class ProbeGuard {
public:
    ProbeGuard() noexcept : handle_(::AddVectoredExceptionHandler(1, ProbeFaultHandler)) {}
    ProbeGuard(const ProbeGuard&) = delete;
    ProbeGuard& operator=(const ProbeGuard&) = delete;
    ~ProbeGuard() {
        if (handle_ != nullptr) ::RemoveVectoredExceptionHandler(handle_);
    }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

private:
    void* handle_;
};

}  // namespace

bool IsVMware() {
    const ProbeGuard guard;
    if (!guard) return false;
    t_probeFaulted = false;
    const std::uint32_t answer = VelmoraVmwareProbe();
    return !t_probeFaulted && answer == kVmwareMagic;
}

bool IsVirtualPC() {
    const ProbeGuard guard;
    if (!guard) return false;
    t_probeFaulted = false;
    VelmoraVirtualPcProbe();
    return !t_probeFaulted;
}

#else

// The probes are instructions of 32-bit x86 code; elsewhere they are not asked.
bool IsVMware() { return false; }
bool IsVirtualPC() { return false; }

#endif

}  // namespace velmora::sysinfo
