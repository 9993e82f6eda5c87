#include <QGuiApplication>
#include <QTest>

#include <memory>
#include <vector>

std::unique_ptr<QObject> makePictureSourceTest();
std::unique_ptr<QObject> makeTextSourceTest();
std::unique_ptr<QObject> makeCustomCaptureSourceTest();

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    std::vector<std::unique_ptr<QObject>> tests;
    tests.push_back(makePictureSourceTest());
    tests.push_back(makeTextSourceTest());
    tests.push_back(makeCustomCaptureSourceTest());
    int failed = 0;
    for (auto &t : tests)
        failed += QTest::qExec(t.get(), argc, argv);
    return failed;
}
