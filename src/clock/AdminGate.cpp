#include "core/Form1.h"

void Form1::PushButton2_Click() {
    // The administrator gate arrives with its own change.
}

void Form1::PushButton3_Click() {
    // The administrator gate arrives with its own change.
}
