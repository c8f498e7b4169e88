#include "data/CredentialRules.h"

#include <stdexcept>

namespace {
CredentialRules s_rules;
}

void CredentialRules::install(const CredentialRules& rules) {
    s_rules = rules;
}

const CredentialRules& CredentialRules::installed() {
    if (!s_rules.hash || !s_rules.hashStoredPlainTexts || !s_rules.afterFailure)
        throw std::logic_error("The password rules were not installed before the database was used.");
    return s_rules;
}
