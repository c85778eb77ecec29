// Gamepads in the main window, on SDL's virtual joysticks (no hardware): the
// mapping, keyboard and pads held together, two pads, pads plugged in and
// unplugged during a game, and the focus leaving the window.
#include "frontend/gamepads.h"
#include "frontend/picture_box.h"

#include <SDL.h>

#include <QtTest>
#include <memory>

#include "frontend/frmabout.h"
#include "frontend_test_support.h"
#include "input/joypad.h"
#include "input/keys.h"

using namespace wenlo;
using namespace wenlo::ui;
using wenlo::test::FakeDialogs;
using wenlo::test::FrameScript;

namespace {

// A virtual pad with the game-controller layout SDL gives it on its own:
// buttons and axes numbered as SDL's controller buttons and axes.
class VirtualPad {
public:
    VirtualPad() {
        const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                                    SDL_CONTROLLER_BUTTON_MAX, 0);
        joystick_ = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
        id_ = joystick_ ? SDL_JoystickInstanceID(joystick_) : -1;
    }
    ~VirtualPad() { Unplug(); }
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;

    bool Ok() const { return joystick_ != nullptr; }
    void Button(int button, bool down) { SDL_JoystickSetVirtualButton(joystick_, button, down ? 1 : 0); }
    void Axis(int axis, int value) { SDL_JoystickSetVirtualAxis(joystick_, axis, Sint16(value)); }
    void Unplug() {
        if (!joystick_) return;
        SDL_JoystickClose(joystick_);
        joystick_ = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == id_) SDL_JoystickDetachVirtual(i);
    }

private:
    SDL_Joystick* joystick_ = nullptr;
    SDL_JoystickID id_ = -1;
};

}  // namespace

class GamepadsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmGB> w;
    FakeDialogs dialogs;

    Machine& M() { return w->machine(); }

private slots:
    void init() {
        dialogs = FakeDialogs();
        w = test::OpenWindow(dialogs);
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QVERIFY(w->Pads().Available());
    }
    void cleanup() { w.reset(); }

    // The handheld's layout by position: east is A, south is B; Back and
    // Start; the d-pad, and the stick beyond half its travel.
    void padInputsAreTheHandheldsKeys_data() {
        QTest::addColumn<int>("button");  // -1: none
        QTest::addColumn<int>("axis");    // -1: none
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("key");  // -1: no key
        QTest::newRow("east is A") << int(SDL_CONTROLLER_BUTTON_B) << -1 << 0 << int(keys::A);
        QTest::newRow("south is B") << int(SDL_CONTROLLER_BUTTON_A) << -1 << 0 << int(keys::B);
        QTest::newRow("back") << int(SDL_CONTROLLER_BUTTON_BACK) << -1 << 0 << int(keys::Select);
        QTest::newRow("start") << int(SDL_CONTROLLER_BUTTON_START) << -1 << 0 << int(keys::Start);
        QTest::newRow("d-pad up") << int(SDL_CONTROLLER_BUTTON_DPAD_UP) << -1 << 0 << int(keys::Up);
        QTest::newRow("d-pad down") << int(SDL_CONTROLLER_BUTTON_DPAD_DOWN) << -1 << 0 << int(keys::Down);
        QTest::newRow("d-pad left") << int(SDL_CONTROLLER_BUTTON_DPAD_LEFT) << -1 << 0 << int(keys::Left);
        QTest::newRow("d-pad right") << int(SDL_CONTROLLER_BUTTON_DPAD_RIGHT) << -1 << 0 << int(keys::Right);
        QTest::newRow("west") << int(SDL_CONTROLLER_BUTTON_X) << -1 << 0 << -1;
        QTest::newRow("shoulder") << int(SDL_CONTROLLER_BUTTON_LEFTSHOULDER) << -1 << 0 << -1;
        QTest::newRow("stick left") << -1 << int(SDL_CONTROLLER_AXIS_LEFTX) << -20000 << int(keys::Left);
        QTest::newRow("stick right") << -1 << int(SDL_CONTROLLER_AXIS_LEFTX) << 32767 << int(keys::Right);
        QTest::newRow("stick up") << -1 << int(SDL_CONTROLLER_AXIS_LEFTY) << -32768 << int(keys::Up);
        QTest::newRow("stick down") << -1 << int(SDL_CONTROLLER_AXIS_LEFTY) << 20000 << int(keys::Down);
        QTest::newRow("stick in its dead zone") << -1 << int(SDL_CONTROLLER_AXIS_LEFTX) << -12000 << -1;
        QTest::newRow("right stick") << -1 << int(SDL_CONTROLLER_AXIS_RIGHTX) << -32768 << -1;
    }
    void padInputsAreTheHandheldsKeys() {
        QFETCH(int, button);
        QFETCH(int, axis);
        QFETCH(int, value);
        QFETCH(int, key);
        VirtualPad pad;
        QVERIFY(pad.Ok());
        w->Pads().Poll();
        QCOMPARE(w->Pads().Count(), 1);
        if (button >= 0) pad.Button(button, true);
        if (axis >= 0) pad.Axis(axis, value);
        w->Pads().Poll();
        UpdateJoypad(M());
        const int nibbles = M().JoypadDirections | M().JoypadButtons << 4;
        if (key < 0) {
            QCOMPARE(nibbles, 0);
        } else {
            QCOMPARE(int(M().KeyState[key]), 1);
            QCOMPARE(qPopulationCount(uint(nibbles)), 1);  // that key alone
        }
        if (button >= 0) pad.Button(button, false);
        if (axis >= 0) pad.Axis(axis, 0);
        w->Pads().Poll();
        UpdateJoypad(M());
        QCOMPARE(M().JoypadDirections | M().JoypadButtons, 0);
    }

    // Keyboard and pad hold Left together: it goes up when the last lets go,
    // whichever that is; d-pad and stick of one pad likewise.
    void keyboardAndPadHeldTogether() {
        VirtualPad pad;
        QVERIFY(pad.Ok());
        w->Pads().Poll();
        w->picScreen->setFocus();
        Machine& m = M();
        QTest::keyPress(w->picScreen, Qt::Key_Left);
        pad.Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
        w->Pads().Poll();
        QTest::keyRelease(w->picScreen, Qt::Key_Left);
        QCOMPARE(int(m.KeyState[keys::Left]), 1);  // the pad still holds it
        pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, -30000);
        w->Pads().Poll();
        pad.Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
        w->Pads().Poll();
        QCOMPARE(int(m.KeyState[keys::Left]), 1);  // the stick still holds it
        QTest::keyPress(w->picScreen, Qt::Key_Left);
        pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
        w->Pads().Poll();
        QCOMPARE(int(m.KeyState[keys::Left]), 1);  // the keyboard holds it again
        QTest::keyRelease(w->picScreen, Qt::Key_Left);
        QCOMPARE(int(m.KeyState[keys::Left]), 0);
    }

    // During a game: a pad plugged in works at once; with two pads holding
    // Start, unplugging one keeps it held, unplugging the other releases it
    // and everything else that pad held.
    void padsPluggedInAndUnpluggedDuringAGame() {
        const QString rom = test::Q(test::LoopRom("PADS").WriteTemp("pads"));
        dialogs.openAnswers << rom;
        FrameScript script(*w);
        std::unique_ptr<VirtualPad> one, two;
        QStringList failures;
        auto want = [&](bool ok, const char* what) {
            if (!ok) failures << what;
        };
        script.After(2, [&] {
            one = std::make_unique<VirtualPad>();
            two = std::make_unique<VirtualPad>();
        });
        script.After(2, [&] {  // polled at the frame ends since
            want(w->Pads().Count() == 2, "two pads open");
            one->Button(SDL_CONTROLLER_BUTTON_START, true);
            two->Button(SDL_CONTROLLER_BUTTON_START, true);
            two->Button(SDL_CONTROLLER_BUTTON_B, true);
        });
        script.After(2, [&] {
            want(M().KeyState[keys::Start] && M().KeyState[keys::A], "both pads' keys held");
            one->Unplug();
        });
        script.After(2, [&] {
            want(w->Pads().Count() == 1, "one pad left");
            want(M().KeyState[keys::Start], "Start still held by the other pad");
            two->Unplug();
        });
        script.After(2, [&] {
            want(w->Pads().Count() == 0, "no pad left");
            want(!M().KeyState[keys::Start] && !M().KeyState[keys::A], "an unplugged pad's keys released");
            w->mnuCPUStop->trigger();
        });
        w->mnuFileLoad->trigger();
        QVERIFY(!script.timedOut);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(", ")));
    }

    // A pad's button held while the focus goes to another window (About)
    // goes up; pressed again afterwards, it works again.
    void focusLeavingTheWindowReleasesPadKeys() {
        QApplication::setActiveWindow(w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        VirtualPad pad;
        QVERIFY(pad.Ok());
        w->Pads().Poll();
        pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
        pad.Button(SDL_CONTROLLER_BUTTON_START, true);
        w->Pads().Poll();
        QCOMPARE(int(M().KeyState[keys::Right]), 1);
        w->mnuHelpAbout->trigger();
        auto* about = w->findChild<frmAbout*>();
        QVERIFY(about);
        QApplication::setActiveWindow(about);
        QVERIFY(QTest::qWaitForWindowActive(about));
        QCOMPARE(int(M().KeyState[keys::Right]), 0);
        QCOMPARE(int(M().KeyState[keys::Start]), 0);
        w->Pads().Poll();  // still held on the pad: stays up
        QCOMPARE(int(M().KeyState[keys::Right]), 0);
        pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
        pad.Button(SDL_CONTROLLER_BUTTON_START, false);
        w->Pads().Poll();
        about->close();
        pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
        w->Pads().Poll();
        QCOMPARE(int(M().KeyState[keys::Right]), 1);
    }
};

QTEST_MAIN(GamepadsTest)
#include "gamepads_test.moc"
