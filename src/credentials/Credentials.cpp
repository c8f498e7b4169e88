#include "credentials/Credentials.h"

#include "credentials/PasswordHash.h"
#include "credentials/Throttle.h"
#include "data/CredentialRules.h"

namespace Credentials {

void handToData() {
    CredentialRules::install(
        {&PasswordHash::hash, &PasswordHash::hashStoredPlainTexts, &Throttle::afterFailure});
}

} // namespace Credentials
