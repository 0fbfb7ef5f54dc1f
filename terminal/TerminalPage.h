// The Terminal page (third tab): a raw terminal on the serial line. Bytes the reader stores
// in the receive ring are drawn when its WM_SERIAL_DATA arrives (queued to the GUI thread),
// in the ASCII or the HEXA view; characters typed into the screen go to the line as single
// bytes. The page publishes itself in g_hTerminalWnd when its window is created.
#pragma once

#include "pages/PageDialog.h"
#include "terminal/TerminalRender.h"

#include <string>

class QPlainTextEdit;

class CTerminalPage : public CPageDialog, private ITerminalScreen {
    Q_OBJECT
public:
    CTerminalPage(CManagerCore& manager, QWidget* parent);
    ~CTerminalPage() override;

    // The screen holds at most this many characters: a batch that would pass it clears the
    // screen first, so that a flood neither grows memory nor slows the window.
    static constexpr int kScreenLimit = 256 * 1024;

    void OnViewAscii();
    void OnViewHex();
    void OnLocalEcho();
    void OnClearScreen();
    void OnExportText();
    // Draws what the receive ring holds.
    void OnDataArrived();

    // The screen text with "\r\n" line breaks, as an export writes it.
    std::string ScreenText() const;
    int NotificationCount() const { return m_nNotifications; }

    QPlainTextEdit* m_screen = nullptr;
    TerminalState m_state;
    int m_localEcho = 0;
    std::string m_scrollLines = "500";

protected:
    void OnInitDialog() override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // ITerminalScreen
    void Append(const std::string& text) override;
    bool LastLineEmpty() const override;
    void DeleteLastChar() override;

    void OnScrollLinesChange();
    bool OnScreenKey(class QKeyEvent* key);

    int m_nNotifications = 0;
};
