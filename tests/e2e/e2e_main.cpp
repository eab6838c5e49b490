// The main() of every end-to-end test program: GoogleTest, and for the programs that show the
// window a QApplication around it.
#include <gtest/gtest.h>

#ifdef QUILLON_E2E_QT
#include <QApplication>
#endif

int main(int argc, char** argv) {
#ifdef QUILLON_E2E_QT
  QApplication app(argc, argv);
#endif
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
