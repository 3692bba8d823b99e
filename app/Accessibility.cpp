// How the main window is driven without a mouse and read without eyes: mnemonics, standard
// shortcuts, the Tab order and the names a screen reader announces.
#include "app/Accessibility.h"

#include <QAction>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QWidget>

#include "app/Triloprog.h"

namespace trilo::gui {

namespace {

using C = Control;

struct Mnemonic {
    C control;
    char key;
};

// Each letter is one of the caption's own and unique in the window, whatever is enabled: a
// letter shared moves the focus between its controls instead of acting. "Read" and "Write"
// have few letters, so the EEPROM's take "d" and "i", the Data menu "t" and Index "x"; the
// serial-programming fuse's and the fuse group's Read and Write have none left, and the
// fuse boxes change their captions with the device; the device items differ only in
// digits. Buttons first, then the menu titles, then each menu's items, whose letters count
// only in their menu. Every language's words for the Set Up and Index items hold their letter.
constexpr Mnemonic kMnemonics[] = {
    {C::btnRead, 'R'},      {C::btnWrite, 'W'},     {C::btnErase, 'E'},  {C::btnVerify, 'V'},
    {C::btnReaEE, 'd'},     {C::btnWriEE, 'i'},     {C::chLB1, '1'},     {C::chLB2, '2'},
    {C::chLB3, '3'},        {C::btnReadLB, 'L'},    {C::rdSON, 'N'},     {C::rdSOFF, 'O'},
    {C::mnuFile, 'F'},      {C::mnuX51, 'M'},       {C::mnuAVR, 'A'},    {C::mnuIndex, 'x'},
    {C::mnuOpen, 'O'},      {C::mnuSave, 'S'},      {C::mnuSaveAs, 'A'}, {C::mnuSetUp, 'U'},
    {C::mnuExit, 'x'},      {C::mnuDM, 'm'},        {C::mnuCP, 'C'},     {C::mnuFL, 's'},
    {C::mnuDL, 'v'},        {C::mnuLPT1, '1'},      {C::mnuLPT2, '2'},   {C::mnuAbout, 'A'},
    {C::mnuBoardTest, 'T'}, {C::mnuVerifyRead, 'r'}};

// The labels beside the controls that have no caption of their own, and their mnemonics.
struct Labelled {
    const char* label;
    C control;
    char key;
};
constexpr Labelled kLabels[] = {
    {"Label4", C::txFile, 0},    {"Label1", C::txTyp, 0},      {"Label2", C::txCpu, 0},
    {"Label3", C::spFlash, 'S'}, {"Label5", C::spEEprom, 'P'},
};

// Left to right, top to bottom, group by group: the command row before the EEPROM group on
// its right; in "CPU Info / Set Up" the left column down to the sizes, then the fuse column.
constexpr C kTabOrder[] = {
    C::btnRead,  C::btnWrite,  C::btnErase, C::btnVerify, C::btnReaEE,    C::btnWriEE,
    C::chLB1,    C::chLB2,     C::chLB3,    C::btnReadLB, C::rdSON,       C::rdSOFF,
    C::btnReadS, C::btnWriteS, C::spFlash,  C::spEEprom,  C::chD5,        C::chD4,
    C::chD3,     C::chD2,      C::chD1,     C::chD0,      C::btnReadFuse, C::btnWrFuse,
};

QString marked(const QString& caption, char key) {
    QString text = caption;
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    // The letter as the table gives it, else in the other case: another language's words
    // may have it only so ("Board test" for 'T').
    qsizetype at = key == 0 ? -1 : text.indexOf(QLatin1Char(key));
    if (at < 0 && key != 0) {
        at = text.indexOf(QLatin1Char(key), 0, Qt::CaseInsensitive);
    }
    if (at >= 0) {
        text.insert(at, QLatin1Char('&'));
    }
    return text;
}

}  // namespace

QString withMnemonic(Control c, const QString& caption) {
    for (const Mnemonic& m : kMnemonics) {
        if (m.control == c) {
            return marked(caption, m.key);
        }
    }
    return marked(caption, 0);
}

QString withoutMnemonic(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype k = 0; k < text.size(); ++k) {
        // "&&" is one '&'; a single '&' only marks the letter after it.
        if (text[k] == QLatin1Char('&') && k + 1 < text.size()) {
            ++k;
        }
        out += text[k];
    }
    return out;
}

void TfrmTop::setUpAccessibility() {
    for (const Mnemonic& m : kMnemonics) {
        setCaption(m.control, caption(m.control));
    }
    const struct {
        C item;
        QKeySequence keys;
    } shortcuts[] = {
        {C::mnuOpen, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {C::mnuSave, QKeySequence(Qt::CTRL | Qt::Key_S)},
        {C::mnuSaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
        {C::mnuExit, QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {C::mnuAbout, QKeySequence(Qt::Key_F1)},
    };
    for (const auto& shortcut : shortcuts) {
        slot(shortcut.item).action->setShortcut(shortcut.keys);
    }

    // A group box inside another would otherwise be announced by the outer one's title, and
    // a menu's popup has no name of its own.
    for (auto* box : findChildren<QGroupBox*>()) {
        box->setAccessibleName(box->title());
    }
    for (auto* menu : findChildren<QMenu*>()) {
        menu->setAccessibleName(withoutMnemonic(menu->title()));
    }
    for (const Labelled& pair : kLabels) {
        auto* label = findChild<QLabel*>(QString::fromLatin1(pair.label));
        QWidget* control = slot(pair.control).widget;
        label->setText(marked(label->text(), pair.key));
        // A spin edit takes its name from the buddy; a static text keeps its value as its
        // name, which a screen reader reads after the label beside it.
        label->setBuddy(control);
    }

    for (std::size_t k = 1; k < std::size(kTabOrder); ++k) {
        setTabOrder(slot(kTabOrder[k - 1]).widget, slot(kTabOrder[k]).widget);
    }
}

}  // namespace trilo::gui
