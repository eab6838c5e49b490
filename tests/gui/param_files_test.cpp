// "导出参数" and "导入参数" on the main window, with the file dialogs answered by the test: the
// buttons reach the session, the pages go into the file and come back from it, an imported
// field without a terminator shows no more than its own bytes; and the dialogs themselves.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <cstring>
#include <memory>

#include "files/param_file.h"
#include "qt/app/config_app.h"
#include "qt/app/config_main_dlg.h"
#include "qt/app/param_file_dialogs.h"
#include "qt/pages/camera_page.h"
#include "qt/pages/net_param_page.h"
#include "qt/widgets/ipv4_edit.h"
#include "support/file_dialog_answers.h"
#include "support/modal_watch.h"
#include "support/qt_control.h"
#include "support/recording_link.h"
#include "support/recording_notifier.h"
#include "support/temp_folder.h"

using namespace quillon;
using fakes::RecordingLink;
using fakes::RecordingNotifier;
using fakes::TempFolder;

class ParamFilesTest : public QObject {
  Q_OBJECT

 private:
  DeviceParameterBlock block_{};
  RecordingLink link_;
  RecordingNotifier notifier_;
  std::unique_ptr<TempFolder> folder_;
  std::unique_ptr<CConfigApp> app_;
  CConfigMainDlg* dlg_ = nullptr;
  std::string chosen_;  // what both dialogs answer
  std::unique_ptr<fakes::FileDialogAnswers> answers_;

 private slots:
  void init() {
    notifier_.Clear();
    folder_ = std::make_unique<TempFolder>();
    QVERIFY(folder_->Made());
    app_ = std::make_unique<CConfigApp>(block_, link_, notifier_,
                                        [] { return std::vector<uint32_t>{0x0A4D0001}; });
    app_->Start();
    dlg_ = &app_->Window();
    answers_ = std::make_unique<fakes::FileDialogAnswers>(
        [this](const std::string&) -> std::optional<std::string> { return chosen_; });
  }
  void cleanup() {
    answers_.reset();
    app_.reset();
    folder_.reset();
  }

  void buttonsCarryThePagesIntoTheFileAndBack() {
    CNetParamPage* net = dlg_->NetPage();
    auto* ip = fakes::ById<CIpAddressEdit>(net, IDC_STATIC_IP);
    auto* user = fakes::ById<QLineEdit>(net->CameraPage(2), IDC_CAMERA_USER);
    auto* text = fakes::ById<QLineEdit>(net->CameraPage(3), IDC_LINE_TEXT + 7);
    app_->Session().NetParamsToPage();  // as after a read: a page never filled stores nothing
    app_->Session().Rs485ParamsToPage();
    ip->SetAddress(std::array<uint8_t, 4>{10, 1, 2, 3});
    user->setText(QStringLiteral("操作员"));
    text->setText(QStringLiteral("出口压力"));
    chosen_ = *folder_ / "pages.ini";
    fakes::ById<QPushButton>(dlg_, IDC_EXPORT)->click();
    const std::vector<std::string>& offered = answers_->Offered();
    QCOMPARE(offered.size(), size_t{1});
    QVERIFY(offered[0].starts_with("VRN") && offered[0].ends_with(".ini"));
    QCOMPARE(offered[0].size(), std::string("VRN20261206_0752.ini").size());
    QVERIFY(!folder_->Read("pages.ini").empty());

    ip->SetAddress(std::array<uint8_t, 4>{0, 0, 0, 0});
    user->clear();
    text->setText(QStringLiteral("changed"));
    fakes::ById<QPushButton>(dlg_, IDC_IMPORT)->click();
    QCOMPARE(ip->DottedText(), QStringLiteral("10.1.2.3"));
    QCOMPARE(user->text(), QStringLiteral("操作员"));
    QCOMPARE(text->text(), QStringLiteral("出口压力"));
    QVERIFY(notifier_.Boxes().empty());
    QVERIFY(link_.Sent().empty());
  }

  // A file's checks say nothing about its content: a field without a terminator shows its own
  // bytes only, and a choice outside its list shows no selection, as after a read.
  void importedFieldsShowWithinTheirOwnSize() {
    ParamImages images{};
    sCameraPara& camera = images.osd.asCamera[0];
    std::memset(camera.szUser, 'A', sizeof camera.szUser);
    std::memset(camera.szPassword, 'B', sizeof camera.szPassword);
    std::memset(camera.asLine[0].szText, 'x', sizeof camera.asLine[0].szText);
    camera.asLine[1].wX = 0x4141;
    camera.byBrand = 9;
    camera.byLineCount = 0;
    images.osd.asCamera[1].byLineCount = 200;
    IniProfile profile;
    EncodeParamFile(images, profile);
    chosen_ = folder_->Write("fields.ini", profile.Text());
    fakes::ById<QPushButton>(dlg_, IDC_IMPORT)->click();
    QVERIFY(notifier_.Boxes().empty());

    CCameraPage* page = dlg_->NetPage()->CameraPage(0);
    QCOMPARE(fakes::ById<QLineEdit>(page, IDC_CAMERA_USER)->text(), QString(30, u'A'));
    QCOMPARE(fakes::ById<QLineEdit>(page, IDC_CAMERA_PASSWORD)->text(), QString(30, u'B'));
    QCOMPARE(fakes::ById<QLineEdit>(page, IDC_LINE_TEXT)->text(), QString(73, u'x'));
    QCOMPARE(fakes::ById<QLineEdit>(page, IDC_LINE_X + 1)->text(), QStringLiteral("16705"));
    QCOMPARE(fakes::ById<QComboBox>(page, IDC_CAMERA_BRAND)->currentIndex(), -1);
    QCOMPARE(fakes::ById<QComboBox>(page, IDC_CAMERA_LINE_COUNT)->currentIndex(), -1);
    QCOMPARE(fakes::ById<QComboBox>(dlg_->NetPage()->CameraPage(1), IDC_CAMERA_LINE_COUNT)
                 ->currentIndex(),
             -1);
  }

  // Without answers of the test's own, the buttons open the file dialogs; the path chosen there
  // is the file written and read.
  void theDialogsHandOverTheChosenFile() {
    answers_.reset();
    const QString path = QString::fromStdString(*folder_ / "参数 一.ini");
    quillon::fakes::ModalWatch answer([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      QVERIFY(dialog);
      dialog->selectFile(path);
      static_cast<QDialog*>(dialog)->accept();  // as the dialog's own button does
    });
    fakes::ById<QPushButton>(dlg_, IDC_EXPORT)->click();
    QVERIFY(answer.Handled());
    QVERIFY(!folder_->Read("参数 一.ini").empty());

    fakes::ById<CIpAddressEdit>(dlg_->NetPage(), IDC_STATIC_IP)
        ->SetAddress(std::array<uint8_t, 4>{9, 9, 9, 9});
    answer.Start();
    fakes::ById<QPushButton>(dlg_, IDC_IMPORT)->click();
    QVERIFY(answer.Handled());
    QCOMPARE(fakes::ById<CIpAddressEdit>(dlg_->NetPage(), IDC_STATIC_IP)->DottedText(),
             QStringLiteral("0.0.0.0"));
    QVERIFY(notifier_.Boxes().empty());
  }

  void dialogsAskForIniFiles() {
    const auto save = MakeExportDialog(dlg_, QStringLiteral("VRN20261206_0752.ini"));
    QCOMPARE(save->acceptMode(), QFileDialog::AcceptSave);
    QCOMPARE(save->fileMode(), QFileDialog::AnyFile);
    QCOMPARE(save->nameFilters(), QStringList{QStringLiteral("INI files(*.ini)")});
    QCOMPARE(save->defaultSuffix(), QStringLiteral("ini"));
    QVERIFY(!save->testOption(QFileDialog::DontConfirmOverwrite));
    QVERIFY(save->selectedFiles().value(0).endsWith(QStringLiteral("/VRN20261206_0752.ini")));
    QCOMPARE(save->parentWidget(), dlg_);

    const auto open = MakeImportDialog(dlg_);
    QCOMPARE(open->acceptMode(), QFileDialog::AcceptOpen);
    QCOMPARE(open->fileMode(), QFileDialog::ExistingFile);
    QCOMPARE(open->nameFilters(), QStringList{QStringLiteral("INI files(*.ini)")});
    QCOMPARE(open->defaultSuffix(), QStringLiteral("ini"));
    QCOMPARE(open->parentWidget(), dlg_);
  }
};

QTEST_MAIN(ParamFilesTest)
#include "param_files_test.moc"
