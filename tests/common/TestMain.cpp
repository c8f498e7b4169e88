#include "common/TestSupport.h"
#include "credentials/Credentials.h"

int main(int argc, char** argv) {
    Credentials::handToData();
    return TestSupport::runAll(argc, argv);
}
