#pragma once

// Failures injected into device calls by tests: a rule names a call ("Surface::Lock", any
// object of that kind), the code to return and which occurrence fails, counted from when the
// rule was added.

#include "platform/export.h"
#include "platform/types.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class VELCORE_API CallFaults {
public:
    // Makes the `occurrence`-th call named `name` from now on (1 is the next one) fail with
    // `code`; occurrence 0 makes every such call fail. Every rule counts the calls it names;
    // when several fire on one call, the one added first gives the code.
    void FailCall(std::string name, HRESULT code, std::size_t occurrence = 0);
    void ClearFailures() { m_rules.clear(); }

    // Counts the call and returns the code it must fail with, or 0 to go on.
    HRESULT Check(std::string_view name);

private:
    struct FailureRule {
        std::string name;
        HRESULT code;
        std::size_t occurrence; // 0: every call
        std::size_t seen = 0;   // matching calls since the rule was added
    };

    std::vector<FailureRule> m_rules;
};

} // namespace platform
