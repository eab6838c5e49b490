// The Qt window played through the steps of window_steps.h against the simulated devices, inside
// the private network of scripts/wine-test.sh, offscreen: the reference that the Win32 window's
// run under Wine is compared with. Boxes are recorded instead of shown (questions answered "是");
// they go to OUT/boxes.txt, the exported file to OUT.
//
//   quillon_window_steps OUT
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <cstdio>
#include <fstream>

#include "qt/app/batch_dlg.h"
#include "qt/pages/camera_page.h"
#include "qt/pages/rs485_page.h"
#include "qt/widgets/ipv4_edit.h"
#include "qt/widgets/tab_control.h"
#include "support/file_dialog_answers.h"
#include "support/main_window_run.h"
#include "support/modal_watch.h"
#include "window_steps.h"

using namespace quillon;
using namespace quillon::steps;
using namespace std::chrono_literals;

namespace {

const ControlMap& ControlsOf(fakes::MainWindowRun& run, Where where) {
  switch (where) {
    case Where::Net:
      return run.Net().Controls();
    case Where::Camera2:
      return run.Camera(2).Controls();
    case Where::Rs485:
      return run.dlg.Rs485Page()->Controls();
    case Where::Dialog:
      if (auto* batch = qobject_cast<CBatchDlg*>(QApplication::activeModalWidget()))
        return batch->Controls();
      return run.dlg.Rs485Page()->RemoteAdjustDialog().Controls();
    case Where::Main:
      break;
  }
  return run.dlg.Controls();
}

class Player {
 public:
  Player(fakes::MainWindowRun& run, std::string out) : run_(run), out_(std::move(out)) {
    run_.notifier.yes = true;
  }

  // Plays steps [i, end); a click that opens the batch or the gear dialog plays the dialog's
  // steps inside it.
  bool Play(const std::vector<Step>& steps, size_t& i) {
    const Step& s = steps[i];
    QWidget* widget = ControlsOf(run_, s.where).value(s.id);
    switch (s.act) {
      case Act::Click:
        if (s.id == IDC_SLOT_REMOTE_ADJUST || s.id == IDC_BATCH) {
          bool played = true;
          size_t next = i + 1;
          fakes::ModalWatch watch([&](QWidget*) {
            for (; next < steps.size() && steps[next].where == Where::Dialog; ++next)
              played = played && Play(steps, next);
          });
          static_cast<QAbstractButton*>(widget)->click();
          i = next - 1;
          return played && watch.Handled();
        }
        static_cast<QAbstractButton*>(widget)->click();
        return true;
      case Act::Type:
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
          combo->lineEdit()->setText(QString::fromStdString(s.text));
          emit combo->lineEdit()->textEdited(combo->lineEdit()->text());
        } else {
          static_cast<QLineEdit*>(widget)->setText(QString::fromStdString(s.text));
        }
        return true;
      case Act::Choose: {
        auto* combo = static_cast<QComboBox*>(widget);
        combo->setCurrentIndex(s.number);
        emit combo->activated(s.number);
        return true;
      }
      case Act::Address: {
        Ipv4Value address{};
        if (std::sscanf(s.text.c_str(), "%hhu.%hhu.%hhu.%hhu", &address[0], &address[1],
                        &address[2], &address[3]) != 4)
          return false;
        static_cast<CIpAddressEdit*>(widget)->SetAddress(address);
        return true;
      }
      case Act::Tab: {
        QTabBar* bar = static_cast<CTabControl*>(widget)->TabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(s.number).center());
        return true;
      }
      case Act::DoubleClick:
        run_.DoubleClick(s.text);
        return true;
      case Act::WaitRows:
        return run_.Until([&] { return run_.List().topLevelItemCount() >= s.number; }, 60s);
      case Act::WaitLog:
        return run_.Until([&] { return run_.LogHas(s.text); }, 60s);
      case Act::Box: {
        const auto boxes = run_.notifier.Boxes();
        if (boxes.size() <= boxesSeen_ || boxes[boxesSeen_].caption != s.text) return false;
        const fakes::RecordedBox& box = boxes[boxesSeen_];
        boxes_ += BoxRecord(box.caption, box.icon, box.text);
        if (box.icon != s.icon) return false;
        ++boxesSeen_;
        return true;
      }
      case Act::Export:
      case Act::Import:
        file_ = s.text;
        static_cast<QAbstractButton*>(widget)->click();
        return true;
      case Act::Shot:
        return true;
      case Act::About: {
        fakes::ModalWatch watch([](QWidget* about) { static_cast<QDialog*>(about)->accept(); });
        run_.dlg.ShowAbout();
        return watch.Handled();
      }
    }
    return false;
  }

  const std::string& Boxes() const { return boxes_; }

 private:
  fakes::MainWindowRun& run_;
  std::string out_, file_, boxes_;
  fakes::FileDialogAnswers files_{
      [this](const std::string&) { return std::optional(out_ + "/" + file_); }};
  size_t boxesSeen_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: quillon_window_steps OUT\n");
    return 2;
  }
  fakes::MainWindowRun run;
  Player player(run, argv[1]);
  const std::vector<Step>& steps = WindowSteps();
  for (size_t i = 0; i < steps.size(); ++i) {
    if (player.Play(steps, i)) continue;
    std::fprintf(stderr, "quillon_window_steps: step %zu failed; the log:\n%s\n", i + 1,
                 run.Log().c_str());
    return 1;
  }
  std::ofstream(std::string(argv[1]) + "/boxes.txt", std::ios::binary) << player.Boxes();
  return 0;
}
