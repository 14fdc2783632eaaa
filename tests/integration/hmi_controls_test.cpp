// The three runtime controls as the windows use them: by their own events and by dispatch id,
// over the fake runtime.

#include <gtest/gtest.h>

#include <QMetaMethod>
#include <QMetaProperty>

#include "FakeHmiRuntime.h"
#include "hmi/VWSLangSelect.h"
#include "hmi/VWSStart.h"
#include "hmi/VWSVarServer.h"
#include "hmi_support.h"

namespace kestrix {
namespace {

using hmitest::memberOfDispId;

// The names of the signals that the control's own class declares, in declaration order.
QStringList ownSignals(const QMetaObject& metaObject) {
    QStringList names;
    for (int i = metaObject.methodOffset(); i < metaObject.methodCount(); ++i) {
        QMetaMethod method = metaObject.method(i);
        if (method.methodType() == QMetaMethod::Signal) {
            names.append(QString::fromLatin1(method.name()));
        }
    }
    return names;
}

TEST(VWSStartTest, StartsTheRuntimeByItselfOnceTheWindowHasLoaded) {
    FakeHmiRuntime runtime;
    VWSStart control(runtime);
    EXPECT_EQ(runtime.startCount, 0);  // not while the window is still being built

    QCoreApplication::processEvents();
    EXPECT_EQ(runtime.startCount, 1);
}

TEST(VWSStartTest, RaisesStartResultAndRuntimeEndedAsItsFirstTwoEvents) {
    FakeHmiRuntime runtime;
    VWSStart control(runtime);
    EXPECT_EQ(ownSignals(*control.metaObject()),
              (QStringList{"StartResult", "RuntimeEnded", "StatusText"}));

    QList<bool> results;
    int ended = 0;
    QObject::connect(&control, &VWSStart::StartResult,
                     [&](bool started) { results.append(started); });
    QObject::connect(&control, &VWSStart::RuntimeEnded, [&] { ++ended; });
    runtime.finishStart(false);
    runtime.finishStart(true);
    runtime.endRuntime();
    EXPECT_EQ(results, (QList<bool>{false, true}));
    EXPECT_EQ(ended, 1);
}

TEST(VWSStartTest, DispatchId142IsTheStopRequest) {
    FakeHmiRuntime runtime;
    VWSStart control(runtime);
    QString member = memberOfDispId(*control.metaObject(), 142);
    ASSERT_FALSE(member.isEmpty());

    ASSERT_TRUE(QMetaObject::invokeMethod(&control, member.toLatin1().constData()));
    EXPECT_EQ(runtime.stopRequests, 1);
}

TEST(VWSStartTest, ShowsTheSplashPictureAndTheProgramName) {
    FakeHmiRuntime runtime;
    VWSStart control(runtime);
    EXPECT_EQ(control.splashPicture().size(), QSize(522, 319));
    EXPECT_EQ(control.property("Text").toString(), QStringLiteral("Kestrix"));
}

TEST(VWSStartTest, StatusLineFollowsTheRuntimeOverAPictureThatClaimsNothing) {
    // The picture's status band is plain background: each of its rows is of one colour.
    const QRect band(16, 266, 300, 24);
    FakeHmiRuntime runtime;
    VWSStart control(runtime);
    const QImage plain = control.splashPicture().toImage();
    for (int y = band.top(); y <= band.bottom(); ++y) {
        for (int x = band.left(); x <= band.right(); ++x) {
            ASSERT_EQ(plain.pixel(x, y), plain.pixel(band.left(), y)) << x << "," << y;
        }
    }

    control.resize(control.splashPicture().size());
    auto shownBand = [&] { return control.grab().toImage().copy(band); };
    QCoreApplication::processEvents();
    EXPECT_EQ(control.statusText(), QStringLiteral("starting, please wait ..."));
    const QImage starting = shownBand();

    runtime.finishStart(false);
    EXPECT_EQ(control.statusText(), QStringLiteral("start failed"));
    EXPECT_NE(shownBand(), starting);

    control.StopRuntime();
    EXPECT_EQ(control.statusText(), QStringLiteral("stopping, please wait ..."));
    runtime.endRuntime();
    EXPECT_EQ(control.statusText(), QStringLiteral("stopped"));
}

TEST(VWSVarServerTest, BindingAVariableSubscribesAndDeliversOnlyItsChanges) {
    FakeHmiRuntime runtime;
    QWidget window;
    auto* server = new VWSVarServer(runtime, &window);
    window.show();
    EXPECT_FALSE(server->isVisible());

    QList<QVariantList> changes;
    QObject::connect(server, &VWSVarServer::Change,
                     [&](const QVariant& value, const QVariant& a, const QVariant& b,
                         const QVariant& c, const QVariant& d) {
                         changes.append({value, a, b, c, d});
                     });
    runtime.changeVariable(QStringLiteral("Ch-1.param_client<.sprache>"), 1031);  // not bound yet

    ASSERT_TRUE(server->setProperty("VWItem", QStringLiteral("Ch-1.param_client<.sprache>")));
    EXPECT_EQ(runtime.subscriptions, QStringList{"Ch-1.param_client<.sprache>"});

    runtime.changeVariable(QStringLiteral("Other"), 5);
    runtime.changeVariable(QStringLiteral("Ch-1.param_client<.sprache>"), 1033);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.at(0).at(0), QVariant(1033));
    EXPECT_EQ(changes.at(0).size(), 5);
}

TEST(VWSLangSelectTest, WritingDispatchId32SelectsTheLanguage) {
    FakeHmiRuntime runtime;
    VWSLangSelect select(runtime);
    QString member = memberOfDispId(*select.metaObject(), 32);
    ASSERT_FALSE(member.isEmpty());
    int index = select.metaObject()->indexOfProperty(member.toLatin1().constData());
    ASSERT_GE(index, 0);
    QMetaProperty property = select.metaObject()->property(index);
    EXPECT_TRUE(property.isWritable());

    // A late-bound write arrives as a variant of any integer type.
    ASSERT_TRUE(property.write(&select, QVariant(qint16(1031))));
    ASSERT_TRUE(property.write(&select, QVariant(1033)));
    ASSERT_TRUE(property.write(&select, QVariant(1033)));
    EXPECT_EQ(runtime.languagesSelected, (QList<int32_t>{1031, 1033, 1033}));
}

}  // namespace
}  // namespace kestrix
