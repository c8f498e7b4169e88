#include "common/TestSupport.h"

int main(int argc, char** argv) {
    return TestSupport::runAll(argc, argv);
}
