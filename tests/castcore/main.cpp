#include <QGuiApplication>
#include <QTest>

#include <memory>
#include <vector>

std::unique_ptr<QObject> makeSceneItemsTest();
std::unique_ptr<QObject> makeSceneStoreTest();
std::unique_ptr<QObject> makeEngineCallbacksTest();
std::unique_ptr<QObject> makeEngineDevicesTest();
std::unique_ptr<QObject> makeCompositionTest();
std::unique_ptr<QObject> makeFramePacerTest();
std::unique_ptr<QObject> makePicturePathsTest();

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    std::vector<std::unique_ptr<QObject>> tests;
    tests.push_back(makeSceneItemsTest());
    tests.push_back(makeSceneStoreTest());
    tests.push_back(makeEngineCallbacksTest());
    tests.push_back(makeEngineDevicesTest());
    tests.push_back(makeCompositionTest());
    tests.push_back(makeFramePacerTest());
    tests.push_back(makePicturePathsTest());
    int failed = 0;
    for (auto &t : tests)
        failed += QTest::qExec(t.get(), argc, argv);
    return failed;
}
