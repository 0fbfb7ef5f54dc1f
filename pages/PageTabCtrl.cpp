#include "pages/PageTabCtrl.h"
#include "config/ConfigPage.h"
#include "firmware/FirmwarePage.h"
#include "pages/PlaceholderPages.h"
#include "terminal/TerminalPage.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>

CPageTabCtrl::CPageTabCtrl(CManagerCore& manager, QWidget* parent)
    : QWidget(parent), m_tabs(new QTabBar(this)) {
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    m_tabs->setFocusPolicy(Qt::StrongFocus);
    m_tabs->setAccessibleName("Pages");
    // The pages are children of the host, which owns them; their windows are built later.
    m_pages = {new CConfigPage(manager, this), new CFirmwarePage(manager, this),
               new CTerminalPage(manager, this), new CNetworkPage(manager, this),
               new CGpioPage(manager, this)};
    for (CPageDialog* page : m_pages)
        page->hide();
}

CConfigPage* CPageTabCtrl::ConfigPage() const {
    return static_cast<CConfigPage*>(m_pages[0]);
}
CFirmwarePage* CPageTabCtrl::FirmwarePage() const {
    return static_cast<CFirmwarePage*>(m_pages[1]);
}
CTerminalPage* CPageTabCtrl::TerminalPage() const {
    return static_cast<CTerminalPage*>(m_pages[2]);
}

void CPageTabCtrl::InsertItem(int index, const QString& text) {
    m_tabs->insertTab(index, text);
    m_tabs->resize(m_tabs->sizeHint());
}

void CPageTabCtrl::CreatePages() {
    for (CPageDialog* page : m_pages)
        page->Create();
    for (CPageDialog* page : m_pages)
        page->hide();
    PositionPages();
}

void CPageTabCtrl::PositionPages() {
    const QRect client = rect();
    const QRect item = m_tabs->tabRect(0).translated(m_tabs->pos());
    const int x = item.left();
    const int y = item.bottom() + 1;
    const int width = client.right() - x - 1;
    const int height = client.bottom() - y - 1;
    for (size_t i = 0; i < m_pages.size(); ++i) {
        m_pages[i]->setGeometry(x, y, width, height);
        m_pages[i]->raise();
        m_pages[i]->setVisible(i == 0);
    }
}

void CPageTabCtrl::paintEvent(QPaintEvent*) {
    // The frame of the display area below the tabs.
    QStylePainter painter(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = rect().adjusted(0, m_tabs->height() - 1, 0, 0);
    frame.tabBarSize = m_tabs->size();
    painter.drawPrimitive(QStyle::PE_FrameTabWidget, frame);
}
