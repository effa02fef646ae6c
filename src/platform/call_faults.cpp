#include "platform/call_faults.h"

#include <utility>

namespace platform {

void CallFaults::FailCall(std::string name, HRESULT code, std::size_t occurrence) {
    m_rules.push_back(FailureRule{std::move(name), code, occurrence});
}

HRESULT CallFaults::Check(std::string_view name) {
    HRESULT result = 0;
    for (FailureRule& rule : m_rules) {
        if (rule.name != name) {
            continue;
        }
        ++rule.seen;
        bool fires = rule.occurrence == 0 || rule.seen == rule.occurrence;
        if (fires && result == 0) {
            result = rule.code;
        }
    }
    return result;
}

} // namespace platform
