#include "startup/session.hpp"

namespace velmora {
namespace {

Session& Storage() {
    static Session session;
    return session;
}

// Leading blank included: it follows the product name (or stands alone after
// the product name "Velmora").
constexpr wchar_t kWizardSuffix[] = L" Wizard";

}  // namespace

Session& TheSession() { return Storage(); }

void ResetSession() { Storage() = Session{}; }

std::wstring MessageCaption() {
    const Session& s = TheSession();
    if (s.captionLogo) return s.captionTitle;
    if (s.captionTitle.empty()) return std::wstring(L"Velmora") + kWizardSuffix;
    return s.captionTitle + L" - Velmora" + kWizardSuffix;
}

}  // namespace velmora
