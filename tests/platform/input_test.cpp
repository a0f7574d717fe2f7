// Input: the key table, the host-key translation, the event queue and its
// growth, handler order, and the font manager's table.

#include <gtest/gtest.h>

#include <SDL.h>

#include <set>
#include <string>
#include <vector>

#include "core/class_factory.h"
#include "platform/font_manager.h"
#include "platform/input_manager.h"
#include "platform/key_table.h"
#include "platform/system_events.h"
#include "support/engine_fixture.h"

namespace klx {
namespace {

TEST(KeyTable, NamedKeysAndUnknownOnes) {
  EXPECT_EQ(TranslateVirtualKey('Q'), 26);
  EXPECT_EQ(TranslateVirtualKey('A'), 10);
  EXPECT_EQ(TranslateVirtualKey('Z'), 35);
  EXPECT_EQ(TranslateVirtualKey('0'), 0);
  EXPECT_EQ(TranslateVirtualKey('9'), 9);
  EXPECT_EQ(TranslateVirtualKey(0x20), 97);   // space
  EXPECT_EQ(TranslateVirtualKey(0x1B), 49);   // escape
  EXPECT_EQ(TranslateVirtualKey(0x7B), 61);   // F12
  EXPECT_EQ(TranslateVirtualKey(0x69), 83);   // numeric pad 9
  EXPECT_EQ(TranslateVirtualKey(0x26), 99);   // up arrow
  EXPECT_EQ(TranslateVirtualKey(0xA0), 69);   // left shift
  // The generic modifiers, keys nobody listed and values off the table.
  for (int32_t key : {0x10, 0x11, 0x12, 0x00, 0x5B, 0xFF, -1, 256, 100000}) {
    EXPECT_EQ(TranslateVirtualKey(key), kKeyUnknown) << key;
  }
}

TEST(KeyTable, EveryEngineCodeHasExactlyOneVirtualKey) {
  std::vector<int> owners(kKeyUnknown, 0);
  for (int32_t key = 0; key < 256; ++key) {
    const int32_t code = TranslateVirtualKey(key);
    ASSERT_GE(code, 0);
    ASSERT_LE(code, kKeyUnknown);
    if (code != kKeyUnknown) ++owners[static_cast<size_t>(code)];
  }
  for (int32_t code = 0; code < kKeyUnknown; ++code) EXPECT_EQ(owners[static_cast<size_t>(code)], 1) << code;
}

TEST(HostKeys, PositionsBecomeVirtualKeys) {
  EXPECT_EQ(TranslateVirtualKey(VirtualKeyFromScancode(SDL_SCANCODE_Q)), 26);
  EXPECT_EQ(TranslateVirtualKey(VirtualKeyFromScancode(SDL_SCANCODE_SPACE)), 97);
  EXPECT_EQ(TranslateVirtualKey(VirtualKeyFromScancode(SDL_SCANCODE_0)), 0);
  EXPECT_EQ(TranslateVirtualKey(VirtualKeyFromScancode(SDL_SCANCODE_KP_0)), 74);
  EXPECT_EQ(TranslateVirtualKey(VirtualKeyFromScancode(SDL_SCANCODE_F10)), 59);
  // Shift, Control and Alt come as the generic keys, so as unknown; every
  // key still produces an event.
  for (SDL_Scancode modifier : {SDL_SCANCODE_LSHIFT, SDL_SCANCODE_RSHIFT, SDL_SCANCODE_LCTRL,
                                SDL_SCANCODE_RCTRL, SDL_SCANCODE_LALT, SDL_SCANCODE_RALT}) {
    const int32_t virtualKey = VirtualKeyFromScancode(modifier);
    EXPECT_GE(virtualKey, 0x10);
    EXPECT_LE(virtualKey, 0x12);
    EXPECT_EQ(TranslateVirtualKey(virtualKey), kKeyUnknown);
  }
  // Every engine code but the six left/right modifiers is reachable from
  // some key of the keyboard.
  std::set<int32_t> reached;
  for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode) {
    reached.insert(TranslateVirtualKey(VirtualKeyFromScancode(scancode)));
  }
  for (int32_t code = 0; code < kKeyUnknown; ++code) {
    const bool sidedModifier = code == 66 || code == 68 || code == 69 || code == 90 ||
                               code == 92 || code == 93;
    EXPECT_EQ(reached.count(code) == 1, !sidedModifier) << code;
  }
}

// Records what it receives, optionally queuing one more event the first time.
class RecordingHandler : public InputHandler {
 public:
  RecordingHandler(const char* name, std::vector<std::string>* order)
      : InputHandler(String(name)), order_(order) {}
  void OnInputEvent(const InputEvent& event) override {
    received.push_back(event);
    if (order_ != nullptr) order_->push_back(GetName().CStr());
    if (queueOnce) {
      queueOnce = false;
      InputManager::QueueInputEvent(InputEvent{kInputSystem, kInputWindowClosed, 0, 0});
    }
  }
  std::vector<InputEvent> received;
  bool queueOnce = false;

 private:
  std::vector<std::string>* order_;
};

using InputQueue = test::EngineTest;

TEST_F(InputQueue, ThreeHundredEventsGrowTheQueueTo384AndTheNextFrameStartsAtZero) {
  Ref<RecordingHandler> handler(new RecordingHandler("h", nullptr));
  ASSERT_EQ(InputManager::RegisterInputHandler(handler.Get()), kOk);
  EXPECT_EQ(InputManager::GetQueueCapacity(), 128);
  for (int32_t i = 0; i < 300; ++i) InputManager::QueueInputEvent(InputEvent{kInputMouse, kInputMove, i, 2 * i});
  EXPECT_EQ(InputManager::GetQueueCapacity(), 384);
  EXPECT_EQ(InputManager::GetQueuedCount(), 300);
  ASSERT_EQ(InputManager::ProcessInput(), kOk);
  ASSERT_EQ(handler->received.size(), 300u);
  EXPECT_EQ(handler->received[299], (InputEvent{kInputMouse, kInputMove, 299, 598}));
  EXPECT_EQ(InputManager::GetQueuedCount(), 0);

  InputManager::QueueInputEvent(InputEvent{kInputKeyboard, kInputPress, kKeyQ, 0});
  EXPECT_EQ(InputManager::GetQueueCapacity(), 384);  // keeps its largest size
  ASSERT_EQ(InputManager::ProcessInput(), kOk);
  ASSERT_EQ(handler->received.size(), 301u);
  EXPECT_EQ(handler->received[300], (InputEvent{kInputKeyboard, kInputPress, kKeyQ, 0}));
}

TEST_F(InputQueue, NewestHandlerFirstAndEventsQueuedDuringDeliveryArriveToo) {
  std::vector<std::string> order;
  Ref<RecordingHandler> older(new RecordingHandler("older", &order));
  Ref<RecordingHandler> newer(new RecordingHandler("newer", &order));
  ASSERT_EQ(InputManager::RegisterInputHandler(older.Get()), kOk);
  ASSERT_EQ(InputManager::RegisterInputHandler(newer.Get()), kOk);
  EXPECT_EQ(older->GetRefCount(), 2);  // the list holds a reference
  newer->queueOnce = true;
  InputManager::QueueInputEvent(InputEvent{kInputMouse, kInputPress, kMouseLeft, 0});
  ASSERT_EQ(InputManager::ProcessInput(), kOk);
  // The newer handler sees the click, then the event it queued itself;
  // the older one sees both afterwards.
  EXPECT_EQ(order, (std::vector<std::string>{"newer", "newer", "older", "older"}));
  ASSERT_EQ(older->received.size(), 2u);
  EXPECT_EQ(older->received[1], (InputEvent{kInputSystem, kInputWindowClosed, 0, 0}));
  EXPECT_EQ(InputManager::GetQueuedCount(), 0);
}

TEST_F(InputQueue, NullAndRepeatedRegistrations) {
  EXPECT_EQ(InputManager::RegisterInputHandler(nullptr), kInvalidArg);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Указатель на обработчик ввода равен 0.")));
  EXPECT_EQ(InputManager::GetHandlerCount(), 0);
  Ref<RecordingHandler> handler(new RecordingHandler("twice", nullptr));
  EXPECT_EQ(InputManager::RegisterInputHandler(handler.Get()), kOk);
  EXPECT_EQ(InputManager::RegisterInputHandler(handler.Get()), kOk);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Обработчик ввода [twice] уже зарегестрирован.")));
  EXPECT_EQ(InputManager::GetHandlerCount(), 1);
  EXPECT_EQ(handler->GetRefCount(), 2);
}

TEST_F(InputQueue, ShutdownDropsTheHandlersReferences) {
  Ref<RecordingHandler> handler(new RecordingHandler("kept", nullptr));
  ASSERT_EQ(InputManager::RegisterInputHandler(handler.Get()), kOk);
  ASSERT_EQ(InputManager::Shutdown(), kOk);
  EXPECT_EQ(handler->GetRefCount(), 1);
  EXPECT_TRUE(log_->Has(kLogInfo, test::Text("Менеджер ввода завершил работу.")));
  ASSERT_EQ(InputManager::Startup(), kOk);  // the fixture stops the engine again
}

// A font that a renderer module might register.
class TestFont : public Font {
 public:
  explicit TestFont(const char* name) : Font(String(name)) {}
};

using Fonts = test::EngineTest;

TEST_F(Fonts, TableByNameAndNoFactory) {
  EXPECT_TRUE(FontManager::IsStarted());
  EXPECT_TRUE(log_->Has(kLogInfo, test::Text("Менеджер шрифтов инициализирован.")));
  Ref<TestFont> font(new TestFont("Arial"));
  EXPECT_EQ(FontManager::RegisterFont(font.Get()), kOk);
  EXPECT_EQ(FontManager::RegisterFont(font.Get()), kFailed);
  EXPECT_EQ(FontManager::FindFont(String("Arial")), font.Get());
  EXPECT_EQ(font->GetRefCount(), 2);
  Object* made = nullptr;
  EXPECT_NE(CreateObjectByName(String("KLX.Font"), &made), kOk);
  EXPECT_EQ(made, nullptr);
  ASSERT_EQ(FontManager::Shutdown(), kOk);
  EXPECT_EQ(font->GetRefCount(), 1);
  ASSERT_EQ(FontManager::Startup(), kOk);
}

}  // namespace
}  // namespace klx
