// A tab control in the platform's sense: a row of tabs over a framed panel, nothing more. The
// owner places its pages over the panel itself (from the control's client rectangle) and shows
// and hides them when the selection changes, so the pages keep the geometry their dialogs give
// them.
#pragma once

#include <QWidget>

class QTabBar;

namespace quillon {

class CTabControl : public QWidget {
  Q_OBJECT

 public:
  explicit CTabControl(QWidget* parent = nullptr);

  int InsertItem(int index, const QString& text);
  int CurrentSelection() const;
  void SetCurrentSelection(int index);
  QTabBar* TabBar() const { return tabBar_; }

  // The client rectangle, in the control's own coordinates (the whole control).
  QRect ClientRect() const { return rect(); }

 signals:
  // The selected tab changed (by the user, or by SetCurrentSelection).
  void selectionChanged(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QTabBar* tabBar_;
};

}  // namespace quillon
