#include "engine/script_engine.hpp"

#include "core/text.hpp"
#include "startup/trace.hpp"

namespace velmora::engine {

void RunScript(const container::Container& c, const std::wstring&) {
    // Until the execution loop runs the commands, the run reports what it
    // received, so that a setup shows it read its own container.
    Trace(L"    <Container commands=\"" + text::ToDecimal(static_cast<std::int64_t>(c.CommandCount())) +
          L"\" title=\"" + c.title + L"\" version=\"" + c.version + L"\" product=\"" + c.productCode + L"\">");
    for (std::size_t i = 0; i < c.CommandCount(); ++i) {
        Trace(L"      <Command index=\"" + text::ToDecimal(static_cast<std::int64_t>(i)) + L"\" name=\"" +
              c.commandNames[i] + L"\"" + (c.IsCommentedOut(i) ? L" disabled=\"TRUE\"" : L"") + L"/>");
    }
    Trace(L"    </Container>");
}

void WriteEngineCache() {
    // Bootstrap and maintenance detection write the cache; nothing to keep yet.
}

bool IsSecondInstance() { return false; }

}  // namespace velmora::engine
