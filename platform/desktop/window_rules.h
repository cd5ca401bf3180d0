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
// - A combo box is named for a screen reader by its accessible name, else by the label whose buddy
//   it is, and only without either by the text it shows (Qt on Linux names every combo box by its
//   text). Everything else a screen reader finds on it (the list, the edit field, opening the
//   list) stays as Qt offers it.
//
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

// Makes `label` the label of `field` (its buddy). An editable combo box's edit field is named by
// the label's text as well, as it is a control of its own for a screen reader.
void labelField(QLabel& label, QWidget& field);

// A caption as a name: its mnemonic marks go, "&&" stays one "&".
QString withoutMnemonic(const QString& text);

} // namespace kivo::desktop
