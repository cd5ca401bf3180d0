// What every window of both programs follows for the keyboard and a screen reader, installed once
// by each program's start-up, before its first window:
//
//     QApplication app(argc, argv);
//     kivo::desktop::installWindowRules();
//
// - Enter (Return or the keypad's Enter) presses the command button that has the focus, in every
//   window, as Space does; a held key presses it once. Elsewhere Enter goes where it went before:
//   to the field, or in a dialog to its default button, which therefore takes Enter only while
//   no other command button has the focus.
// - A combo box is as Qt presents it to a screen reader: named by the text it shows, and said what
//   it is for by the label whose buddy it is (a labelled-by relation) and by its tool tip (its
//   description). Its item list marks the item the box shows at every moment, also before the
//   list was ever opened and after the program set the box.
// - Windows out of use (busy, or behind a modal window) take no input of any kind, and every
//   window keeps its keyboard focus where the user left it (window_focus.h).
//
// labelField() ties a label to the field it names, so both the keyboard (the label's mnemonic)
// and a screen reader find the field by the label's text:
//
//     labelField(*Portlabel, *ComPort);   // the port box and its edit field: "Port Number :"
#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace kivo::desktop {

// Installs the rules above for the running QApplication. Installing them again changes nothing.
void installWindowRules();

// Makes `label` the label of `field` (its buddy): a combo box is then labelled by it. An editable
// combo box's edit field is named by the label's text as well, as it is a control of its own for
// a screen reader.
void labelField(QLabel& label, QWidget& field);

// A caption as a name: its mnemonic marks go, "&&" stays one "&".
QString withoutMnemonic(const QString& text);

} // namespace kivo::desktop
