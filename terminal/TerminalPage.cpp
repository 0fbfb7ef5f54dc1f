#include "terminal/TerminalPage.h"
#include "app/ManagerCore.h"
#include "platform/QtText.h"
#include "platform/UiServices.h"
#include "serial/SerialNotify.h"

#include <QCheckBox>
#include <QEvent>
#include <QFile>
#include <QFont>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <vector>

CTerminalPage::CTerminalPage(CManagerCore& manager, QWidget* parent)
    : CPageDialog(manager, "terminal", parent) {}

CTerminalPage::~CTerminalPage() {
    void* self = static_cast<QObject*>(this);
    g_hTerminalWnd.compare_exchange_strong(self, nullptr);
}

void CTerminalPage::OnInitDialog() {
    m_screen = m_form.Get<QPlainTextEdit>(1020);
    m_screen->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_screen->setUndoRedoEnabled(false);
    m_screen->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_screen->setFocusPolicy(Qt::StrongFocus);
    m_screen->installEventFilter(this);
    QFont font("Courier");
    font.setStyleHint(QFont::TypeWriter);
    font.setWeight(QFont::ExtraBold);
    m_screen->setFont(font);
    m_form.Get<QRadioButton>(1018)->setChecked(true);
    auto onClick = [this](int id, void (CTerminalPage::*handler)()) {
        connect(qobject_cast<QAbstractButton*>(m_form.Control(id)), &QAbstractButton::clicked,
                this, handler);
    };
    onClick(1018, &CTerminalPage::OnViewAscii);
    onClick(1019, &CTerminalPage::OnViewHex);
    onClick(1016, &CTerminalPage::OnLocalEcho);
    onClick(1041, &CTerminalPage::OnClearScreen);
    onClick(1053, &CTerminalPage::OnExportText);
    connect(m_form.Get<QLineEdit>(1017), &QLineEdit::textChanged, this,
            &CTerminalPage::OnScrollLinesChange);
    m_state = {};
    m_localEcho = 0;
    g_hTerminalWnd = static_cast<QObject*>(this);
}

bool CTerminalPage::event(QEvent* e) {
    if (e->type() == static_cast<QEvent::Type>(WM_SERIAL_DATA)) {
        ++m_nNotifications;
        OnDataArrived();
        return true;
    }
    return CPageDialog::event(e);
}

void CTerminalPage::OnDataArrived() {
    CRingBuffer& ring = m_manager.m_serial.m_rxRing;
    const uint32_t count = ring.Count(); // once: bytes arriving meanwhile wait for the next
    if (count == 0)
        return;
    std::vector<uint8_t> bytes(count);
    uint32_t taken = 0;
    while (taken < count && ring.Get(bytes[taken]))
        ++taken;
    RenderReceived(bytes.data(), taken, m_state, *this);
}

void CTerminalPage::Append(const std::string& text) {
    QString qt = vireo::ToQt(text);
    qt.replace("\r\n", "\n");
    QTextDocument* doc = m_screen->document();
    if (doc->characterCount() + qt.size() > kScreenLimit) {
        m_screen->clear();
        if (qt.size() > kScreenLimit)
            qt = qt.right(kScreenLimit);
    }
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(qt);
    m_screen->moveCursor(QTextCursor::End);
    m_screen->ensureCursorVisible();
}

bool CTerminalPage::LastLineEmpty() const {
    return m_screen->document()->lastBlock().length() <= 1;
}

void CTerminalPage::DeleteLastChar() {
    QTextCursor cursor(m_screen->document());
    cursor.movePosition(QTextCursor::End);
    cursor.deletePreviousChar();
}

void CTerminalPage::OnViewAscii() {
    SelectView(0, m_state, *this);
}

void CTerminalPage::OnViewHex() {
    SelectView(1, m_state, *this);
}

void CTerminalPage::OnLocalEcho() {
    m_localEcho = m_localEcho ? 0 : 1;
}

void CTerminalPage::OnClearScreen() {
    m_screen->clear();
    m_screen->setFocus();
}

void CTerminalPage::OnScrollLinesChange() {
    auto* edit = m_form.Get<QLineEdit>(1017);
    m_scrollLines = vireo::FromQt(edit->text());
    if (std::atol(m_scrollLines.c_str()) > 10000) {
        m_scrollLines = "10000";
        edit->setText("10000");
    }
}

std::string CTerminalPage::ScreenText() const {
    std::string text = vireo::FromQt(m_screen->toPlainText());
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

void CTerminalPage::OnExportText() {
    vireo::FileDialogOptions options;
    options.filter = "Text Files (*.txt)|*txt|All Files (*.*)|*|";
    const std::string chosen = vireo::UiServices().GetSaveFileName(options);
    if (chosen.empty())
        return;
    const std::string path = ExportFilePath(chosen);
    QFile file(QString::fromStdString(path));
    const std::string text = ScreenText();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()))
        vireo::ShowMessage("ERROR: Could not write the file " + path + ".", kAppCaption);
}

bool CTerminalPage::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_screen && e->type() == QEvent::KeyPress)
        return OnScreenKey(static_cast<QKeyEvent*>(e));
    return CPageDialog::eventFilter(watched, e);
}

bool CTerminalPage::OnScreenKey(QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: return true; // the caret stays at the end
    default: break;
    }
    const std::string typed = vireo::FromQt(key->text());
    if (typed.empty() || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
        return false; // no character: focus moves and shortcuts keep working
    for (char c : typed) {
        const auto byte = static_cast<uint8_t>(c);
        if (m_localEcho == 1)
            RenderTyped(byte, m_state, *this);
        m_manager.m_serial.Write(&byte, 1); // fails without effect when no port is open
    }
    return true;
}
