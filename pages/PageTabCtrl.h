// The main dialog's tab control (id 1000): a strip of tabs over a framed area holding the
// five pages. The host creates the page objects, creates their windows, places them all over
// the area below the tabs and shows the first; the main dialog shows and hides them when
// the selection changes.
#pragma once

#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QWidget>
#include <array>

class CManagerCore;
class CPageDialog;
class CConfigPage;
class CFirmwarePage;
class CTerminalPage;

class CPageTabCtrl : public QWidget {
    Q_OBJECT
public:
    enum { kConfig = 0, kFirmware = 1, kTerminal = 2, kNetwork = 3, kGpio = 4, kPages = 5 };

    explicit CPageTabCtrl(CManagerCore& manager, QWidget* parent = nullptr);

    void InsertItem(int index, const QString& text);
    // Creates the five page windows in index order, hides them, then places them.
    void CreatePages();
    // Places every page over the page area and shows the first.
    void PositionPages();
    // The area inside the frame below the tabs, where a tab widget would put its pages.
    QRect PageArea() const;

    int GetCurSel() const { return m_tabs->currentIndex(); }
    void SetCurSel(int index) { m_tabs->setCurrentIndex(index); }
    QTabBar* TabBar() const { return m_tabs; }
    CPageDialog* Page(int index) const { return m_pages[static_cast<size_t>(index)]; }
    CConfigPage* ConfigPage() const;
    CFirmwarePage* FirmwarePage() const;
    CTerminalPage* TerminalPage() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStyleOptionTabWidgetFrame FrameOption() const;

    QTabBar* m_tabs;
    std::array<CPageDialog*, kPages> m_pages{};
};
