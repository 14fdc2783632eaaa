#include <gtest/gtest.h>

#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <new>
#include <stdexcept>

#include "FixedClock.h"
#include "fault/Fault.h"
#include "log/FaultScope.h"
#include "log/LogWriter.h"

namespace kestrix {
namespace {

// A procedure's log: the writer with every setting off, as before the first activation, and the
// lines it wrote, without their stamp.
class FaultScopeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        log.LogDateiName = dir.filePath("Kestrix.log");
        log.LogDateiGroesse = 100;
    }

    QList<QByteArray> linesWritten() const {
        QFile file(log.LogDateiName);
        QList<QByteArray> lines;
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                if (!line.isEmpty()) {
                    EXPECT_TRUE(line.startsWith("E 09:41:05 03.27.26 ")) << line.constData();
                    lines.append(line.mid(20).chopped(1));  // without the stamp and the CR
                }
            }
        }
        return lines;
    }

    QTemporaryDir dir;
    FixedClock clock{LocalDateTime{2026, 3, 27, 9, 41, 5}};
    LogWriter log{clock};
};

TEST_F(FaultScopeTest, FaultInAStepWritesOneLineAndTheProcedureGoesOn) {
    FaultScope procedure(log, QStringLiteral("KX.Form_Activate"));
    QList<int> stepsRun;
    EXPECT_FALSE(procedure.step([&] {
        stepsRun.append(1);
        raiseFault(ErrorNumber::SubscriptOutOfRange);
        stepsRun.append(99);
    }));
    EXPECT_TRUE(procedure.step([&] { stepsRun.append(2); }));
    EXPECT_EQ(stepsRun, (QList<int>{1, 2}));
    EXPECT_EQ(linesWritten(),
              QList<QByteArray>{"Fault 9; Subscript out of range; Kestrix; KX.Form_Activate"});
}

TEST_F(FaultScopeTest, TwoFailingStepsGiveTwoLinesInOrderWithTheSameSourceString) {
    FaultScope procedure(log, QStringLiteral("KX.TimerErstemal_Timer.HotmeltStart"));
    procedure.step([] { raiseFault(ErrorNumber::TypeMismatch); });
    procedure.step([] {});
    procedure.step([] { raiseFault(ErrorNumber::NoSuchMember); });
    EXPECT_EQ(
        linesWritten(),
        (QList<QByteArray>{"Fault 13; Type mismatch; Kestrix; KX.TimerErstemal_Timer.HotmeltStart",
                           "Fault 438; Object doesn't support this property or method; Kestrix; "
                           "KX.TimerErstemal_Timer.HotmeltStart"}));
}

TEST_F(FaultScopeTest, FaultInTheTestOfAnIfStepRunsTheGuardedSteps) {
    FaultScope procedure(log, QStringLiteral("KX.TimerWebBrowser_Timer"));
    EXPECT_TRUE(procedure.test([]() -> bool { raiseFault(ErrorNumber::ObjectNotSet); }));
    EXPECT_FALSE(procedure.test([] { return false; }));
    EXPECT_TRUE(procedure.test([] { return true; }));
    EXPECT_EQ(linesWritten(), QList<QByteArray>{"Fault 91; Object variable or With block "
                                                "variable not set; Kestrix; "
                                                "KX.TimerWebBrowser_Timer"});
}

TEST_F(FaultScopeTest, FaultOfAPlugInKeepsItsNegativeNumberAndItsOwnSource) {
    FaultScope procedure(log, QStringLiteral("KX.OCXEreignis"));
    procedure.step([] { throw Fault(-2147467259, "Unspecified error", "HotmeltModule"); });
    EXPECT_EQ(linesWritten(),
              QList<QByteArray>{"Fault -2147467259; Unspecified error; HotmeltModule; "
                                "KX.OCXEreignis"});
}

TEST_F(FaultScopeTest, CppExceptionsBecomeFaultsOfTheProgramsOwn) {
    FaultScope procedure(log, QStringLiteral("KX.NeuesObjekt"));
    procedure.step([] { throw std::runtime_error("no such control"); });
    procedure.step([] { throw std::bad_alloc(); });
    procedure.step([] { throw 42; });
    EXPECT_EQ(linesWritten(),
              (QList<QByteArray>{"Fault 440; no such control; Kestrix; KX.NeuesObjekt",
                                 "Fault 7; Out of memory; Kestrix; KX.NeuesObjekt",
                                 "Fault 440; Automation error; Kestrix; KX.NeuesObjekt"}));
}

TEST_F(FaultScopeTest, OwnHandlerOfAStepGetsTheFaultInsteadOfTheOrdinaryLine) {
    FaultScope procedure(log, QStringLiteral("KX.NeuesObjekt"));
    QList<int32_t> handled;
    procedure.stepOr([] { raiseFault(ErrorNumber::CannotCreateObject); },
                     [&](const Fault& fault) { handled.append(fault.number()); });
    procedure.stepOr([] {}, [&](const Fault& fault) { handled.append(fault.number()); });
    EXPECT_EQ(handled, QList<int32_t>{ErrorNumber::CannotCreateObject});
    EXPECT_TRUE(linesWritten().isEmpty());

    // A fault in the handler itself is an ordinary fault of the procedure.
    procedure.stepOr([] { raiseFault(ErrorNumber::CannotCreateObject); },
                     [](const Fault&) { raiseFault(ErrorNumber::SubscriptOutOfRange); });
    EXPECT_EQ(linesWritten(),
              QList<QByteArray>{"Fault 9; Subscript out of range; Kestrix; KX.NeuesObjekt"});
}

}  // namespace
}  // namespace kestrix
