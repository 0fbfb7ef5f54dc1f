#include "pages/PageTabCtrl.h"
#include "config/ConfigPage.h"
#include "firmware/FirmwarePage.h"
#include "pages/PlaceholderPages.h"
#include "terminal/TerminalPage.h"

#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>

CPageTabCtrl::CPageTabCtrl(CManagerCore& manager, QWidget* parent)
    : QWidget(parent), m_tabs(new QTabBar(this)) {
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    m_tabs->setFocusPolicy(Qt::StrongFocus);
    m_tabs->setAccessibleName("Pages");
    // Some styles draw the frame around the selected tab: redraw it when the selection moves.
    connect(m_tabs, &QTabBar::currentChanged, this, qOverload<>(&QWidget::update));
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
    const QStyleOptionTabWidgetFrame option = FrameOption();
    m_tabs->setGeometry(style()->subElementRect(QStyle::SE_TabWidgetTabBar, &option, this));
}

void CPageTabCtrl::CreatePages() {
    for (CPageDialog* page : m_pages)
        page->Create();
    for (CPageDialog* page : m_pages)
        page->hide();
    PositionPages();
}

QStyleOptionTabWidgetFrame CPageTabCtrl::FrameOption() const {
    // Described as a tab widget describes itself, so that the style places the tab bar, draws
    // the frame and leaves the page area exactly as it would for one.
    QStyleOptionTabWidgetFrame option;
    option.initFrom(this);
    option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    option.shape = m_tabs->shape();
    option.tabBarSize = m_tabs->sizeHint();
    option.leftCornerWidgetSize = QSize(0, 0); // no corner widgets
    option.rightCornerWidgetSize = QSize(0, 0);
    option.tabBarRect = m_tabs->geometry();
    option.selectedTabRect = m_tabs->tabRect(m_tabs->currentIndex()).translated(m_tabs->pos());
    return option;
}

QRect CPageTabCtrl::PageArea() const {
    const QStyleOptionTabWidgetFrame option = FrameOption();
    return style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this);
}

void CPageTabCtrl::PositionPages() {
    // Every page fills the area inside the frame, below the row of tabs.
    const QRect area = PageArea();
    for (size_t i = 0; i < m_pages.size(); ++i) {
        m_pages[i]->setGeometry(area);
        m_pages[i]->raise();
        m_pages[i]->setVisible(i == 0);
    }
}

void CPageTabCtrl::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionTabWidgetFrame frame = FrameOption();
    frame.rect = style()->subElementRect(QStyle::SE_TabWidgetTabPane, &frame, this);
    painter.drawPrimitive(QStyle::PE_FrameTabWidget, frame);
}
