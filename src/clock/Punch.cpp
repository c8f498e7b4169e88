#include "core/Form1.h"

void Form1::PushButton1_Click() {
    // Punching in and out arrives with its own change.
}
