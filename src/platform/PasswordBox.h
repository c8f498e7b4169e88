#pragma once

class QLineEdit;

// Makes a text box a password box that shows "*" for each character, whatever the platform
// style's own mask character.
void showStars(QLineEdit* box);
