#include "qt/widgets/tab_control.h"

#include <QProxyStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>

namespace quillon {

namespace {

// The owners place their pages 20 pixels below the control's top, so the row of tabs must fit
// into those 20 pixels: the tabs get only a little room above and below their text.
class CompactTabStyle : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_TabBarTabVSpace) return 5;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

}  // namespace

CTabControl::CTabControl(QWidget* parent) : QWidget(parent), tabBar_(new QTabBar(this)) {
  auto* style = new CompactTabStyle;
  style->setParent(tabBar_);
  tabBar_->setStyle(style);
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
  option.rect =
      QRect(0, tabBar_->height() - overlap, width(), height() - tabBar_->height() + overlap);
  option.tabBarRect = QRect(0, 0, tabBar_->width(), tabBar_->height());
  painter.drawPrimitive(QStyle::PE_FrameTabWidget, option);
}

}  // namespace quillon
