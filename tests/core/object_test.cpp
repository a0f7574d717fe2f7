#include <gtest/gtest.h>

#include "support/engine_fixture.h"
#include "support/test_classes.h"

namespace klx {
namespace {

using test::TestController;
using ObjectTest = test::EngineTest;

TEST_F(ObjectTest, IdsIncreaseByOneWhateverTheClass) {
  const int32_t first = Object::PeekNextID();
  Ref<TestController> a(new TestController(String("a")));
  Ref<test::TestLeafA> b(new test::TestLeafA(String("b")));
  Object* created = nullptr;
  ASSERT_EQ(CreateObjectByName(String("TEST.Holder"), &created), kOk);
  Ref<Object> c(created);
  EXPECT_EQ(a->GetID(), first);
  EXPECT_EQ(b->GetID(), first + 1);
  EXPECT_EQ(c->GetID(), first + 2);
  EXPECT_EQ(c->GetName(), "");  // the factory passes an empty name
  EXPECT_EQ(c->GetRefCount(), 1);
}

TEST_F(ObjectTest, ClassRecordsKnowTheirAncestors) {
  EXPECT_TRUE(Object::TYPE.IsDerivedFrom(Object::TYPE));
  EXPECT_TRUE(Controller::TYPE.IsDerivedFrom(Object::TYPE));
  EXPECT_FALSE(Object::TYPE.IsDerivedFrom(Controller::TYPE));
  EXPECT_TRUE(TestController::TYPE.IsDerivedFrom(Controller::TYPE));
  EXPECT_FALSE(test::TestLeafA::TYPE.IsDerivedFrom(test::TestLeafB::TYPE));
  EXPECT_EQ(Controller::TYPE.GetName(), "KLX.Controller");
  EXPECT_EQ(Controller::TYPE.GetParent(), &Object::TYPE);
  EXPECT_EQ(Object::TYPE.GetParent(), nullptr);
  EXPECT_EQ(RTTI::Find(String("TEST.LeafB")), &test::TestLeafB::TYPE);
}

TEST_F(ObjectTest, FactoryRefusesAbstractClasses) {
  Object* created = nullptr;
  log_->lines.clear();
  EXPECT_EQ(CreateObjectByName(String("KLX.Object"), &created), kFailed);
  EXPECT_TRUE(log_->Has(kLogCritical, test::Text("Создание объекта абстрактного класса [Object].")));
  EXPECT_EQ(CreateObjectByName(String("KLX.Controller"), &created), kFailed);
  EXPECT_EQ(CreateObjectByName(String("TEST.Base"), &created), kFailed);
  EXPECT_EQ(created, nullptr);
  EXPECT_EQ(CreateObjectByName(String("KLX.NoSuchClass"), &created), kInvalidArg);
  EXPECT_EQ(FindCreateFunction(String("klx.object")), nullptr);
}

TEST(ObjectFactory, ClassesAreOnlyCreatableBetweenStartAndStop) {
  EXPECT_EQ(FindCreateFunction(String("TEST.Holder")), nullptr);
  test::ScopedLogCapture log;
  ASSERT_EQ(EngineStart(), 0);
  EXPECT_NE(FindCreateFunction(String("TEST.Holder")), nullptr);
  EXPECT_TRUE(log->Has(kLogInfo, test::Text("Инициализация класса [Object] прошла удачно.")));
  // A second registration of a class name is refused.
  EXPECT_EQ(AddCreateFunction(String("KLX.Object"), &Object::Create), kFailed);
  ASSERT_EQ(EngineStop(), 0);
  EXPECT_TRUE(log->Has(kLogInfo, test::Text("Завершение работы класса [Object] прошло удачно.")));
  EXPECT_EQ(FindCreateFunction(String("TEST.Holder")), nullptr);
  EXPECT_EQ(FindCreateFunction(String("KLX.Object")), nullptr);
}

TEST_F(ObjectTest, ControllersAreNewestFirstAndOwned) {
  Ref<test::TestHolder> owner(new test::TestHolder(String("owner")));
  TestController* a = new TestController(String("A"));
  TestController* b = new TestController(String("B"));
  EXPECT_EQ(owner->AttachController(a), kOk);
  EXPECT_EQ(owner->AttachController(b), kOk);
  EXPECT_EQ(owner->GetControllerCount(), 2);
  EXPECT_EQ(owner->GetController(0), b);
  EXPECT_EQ(owner->GetController(1), a);
  EXPECT_EQ(owner->GetController(2), nullptr);
  EXPECT_EQ(owner->GetController(-1), nullptr);
  EXPECT_EQ(a->GetOwner(), owner.Get());
  EXPECT_EQ(a->GetRefCount(), 1);

  owner->UpdateControllers(0.25);
  EXPECT_EQ(a->updates, 1);
  EXPECT_EQ(b->lastElapsed, 0.25);

  EXPECT_EQ(owner->AttachController(nullptr), kInvalidArg);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Указатель на устанавливаемый контроллер равен 0. Имя[owner] ID[%d]", owner->GetID())));

  Ref<TestController> keep(a);
  EXPECT_EQ(owner->DetachAllControllers(), kOk);
  EXPECT_EQ(owner->GetControllerCount(), 0);
  EXPECT_EQ(keep->GetRefCount(), 1);  // b was destroyed, a is still ours
  EXPECT_EQ(keep->GetOwner(), nullptr);
}

TEST_F(ObjectTest, FindByNameComparesExactlyAndSearchesControllers) {
  Ref<test::TestHolder> owner(new test::TestHolder(String("Music")));
  EXPECT_EQ(owner->AttachController(new TestController(String("Fade"))), kOk);
  EXPECT_EQ(owner->FindByName(String("Music")), owner.Get());
  EXPECT_EQ(owner->FindByName(String("music")), nullptr);
  EXPECT_EQ(owner->FindByName(String("Musi")), nullptr);
  EXPECT_EQ(owner->FindByName(String("Music2")), nullptr);
  EXPECT_EQ(owner->FindByName(String("Fade")), owner->GetController(0));
}

TEST_F(ObjectTest, CollectByTypeTellsSiblingsApart) {
  Ref<test::TestLeafA> a(new test::TestLeafA(String("a")));
  Ref<test::TestLeafB> b(new test::TestLeafB(String("b")));
  TestController* controller = new TestController(String("c"));
  EXPECT_EQ(a->AttachController(controller), kOk);

  Array<Object*> found(1, 1);
  a->CollectByType(test::TestLeafA::TYPE, found);
  b->CollectByType(test::TestLeafA::TYPE, found);
  ASSERT_EQ(found.Count(), 1);
  EXPECT_EQ(found[0], a.Get());

  Array<Object*> all(1, 1);
  a->CollectByType(Object::TYPE, all);
  b->CollectByType(test::TestBase::TYPE, all);
  ASSERT_EQ(all.Count(), 3);
  EXPECT_EQ(all[0], a.Get());
  EXPECT_EQ(all[1], controller);
  EXPECT_EQ(all[2], b.Get());
  EXPECT_EQ(DynamicCast<Controller>(all[1]), controller);
  EXPECT_EQ(DynamicCast<Controller>(all[0]), nullptr);
}

}  // namespace
}  // namespace klx

namespace klx {
namespace {

TEST_F(ObjectTest, ControllerLoopsAreRefused) {
  Ref<TestController> a(new TestController(String("a")));
  Ref<TestController> b(new TestController(String("b")));
  EXPECT_EQ(a->AttachController(a.Get()), kInvalidArg);
  ASSERT_EQ(a->AttachController(b.Get()), kOk);
  EXPECT_EQ(b->AttachController(a.Get()), kInvalidArg);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Установка контроллера [a] ID[%d] создаёт цикл контроллеров. Имя[b] ID[%d]", a->GetID(), b->GetID())));
  EXPECT_EQ(a->FindByName(String("none")), nullptr);  // terminates
  // The same controller twice on one object is allowed (no loop).
  EXPECT_EQ(a->AttachController(b.Get()), kOk);
  a->DetachAllControllers();
}

}  // namespace
}  // namespace klx
