#include "pages/tab_control.h"

#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>

namespace quillon {

CTabControl::CTabControl(QWidget* parent) : QWidget(parent), tabBar_(new QTabBar(this)) {
  tabBar_->setDrawBase(false);
  tabBar_->setExpanding(false);
  tabBar_->setUsesScrollButtons(true);
  connect(tabBar_, &QTabBar::currentChanged, this, &CTabControl::selectionChanged);
}

int CTabControl::InsertItem(int index, const QString& text) {
  const int at = tabBar_->insertTab(index, text);
  tabBar_->resize(std::min(width(), tabBar_->sizeHint().width()), tabBar_->sizeHint().height());
  return at;
}

int CTabControl::CurrentSelection() const { return tabBar_->currentIndex(); }

void CTabControl::SetCurrentSelection(int index) { tabBar_->setCurrentIndex(index); }

void CTabControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  tabBar_->setGeometry(0, 0, std::min(width(), tabBar_->sizeHint().width()),
                       tabBar_->sizeHint().height());
}

void CTabControl::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionTabWidgetFrame option;
  option.initFrom(this);
  option.shape = QTabBar::RoundedNorth;
  option.tabBarSize = tabBar_->size();
  option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  const int overlap = style()->pixelMetric(QStyle::PM_TabBarBaseOverlap, nullptr, this);
  option.rect = QRect(0, tabBar_->height() - overlap, width(), height() - tabBar_->height() + overlap);
  option.tabBarRect = QRect(0, 0, tabBar_->width(), tabBar_->height());
  painter.drawPrimitive(QStyle::PE_FrameTabWidget, option);
}

}  // namespace quillon
