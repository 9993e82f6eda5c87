#include "DialogTests.h"

#include <QApplication>
#include <QTest>

#include <memory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int failed = 0;
    for (auto create : {createDragTests, createToolTipDialogTests, createModalDriverTests,
                        createNoFocusDelegateTests}) {
        std::unique_ptr<QObject> tests(create());
        failed += QTest::qExec(tests.get(), argc, argv);
    }
    return failed;
}
