#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/memory_stream.h"
#include "support/engine_fixture.h"
#include "support/test_classes.h"

namespace klx {
namespace {

using test::TestController;
using test::TestHolder;
using MemoryStreamTest = test::EngineTest;

std::vector<uint8_t> Bytes(const MemoryStream& stream) {
  return std::vector<uint8_t>(stream.GetBuffer(), stream.GetBuffer() + stream.GetPosition());
}

// A stream over bytes written by another stream, for reading back.
class ReadStream : public MemoryStream {
 public:
  explicit ReadStream(const std::vector<uint8_t>& bytes) : MemoryStream(0, 1024) {
    Reset(bytes.data(), static_cast<int32_t>(bytes.size()));
  }
};

TEST_F(MemoryStreamTest, TypedValuesRoundTripLittleEndian) {
  MemoryStream out(0, 16);
  out.WriteByte(0xAB);
  out.WriteInt16(-2);
  out.WriteInt32(0x01020304);
  out.WriteBool(true);
  out.WriteFloat(1.5f);
  out.WriteDouble(-0.25);
  out.WriteVector2({1, 2});
  out.WriteVector3({3, 4, 5});
  out.WriteVector4({6, 7, 8, 9});
  out.WriteQuaternion({0, 0, 0, 1});
  out.WriteColor({0.1f, 0.2f, 0.3f, 0.4f});
  Transform transform;
  transform.translation = {1, 2, 3};
  out.WriteTransform(transform);
  out.WriteVersion({0, 1, 2});
  out.WriteString(String("Root"));
  out.WriteString(String());
  ASSERT_EQ(out.GetError(), kOk);
  const std::vector<uint8_t> bytes = Bytes(out);
  EXPECT_EQ(bytes.size(), 1u + 2 + 4 + 1 + 4 + 8 + 8 + 12 + 16 + 16 + 16 + 40 + 12 + 8 + 4);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 3, bytes.begin() + 7),
            (std::vector<uint8_t>{0x04, 0x03, 0x02, 0x01}));
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 12, bytes.end()),
            (std::vector<uint8_t>{4, 0, 0, 0, 'R', 'o', 'o', 't', 0, 0, 0, 0}));

  ReadStream in(bytes);
  uint8_t byte = 0;
  int16_t i16 = 0;
  int32_t i32 = 0;
  bool flag = false;
  float f = 0;
  double d = 0;
  Vector2 v2;
  Vector3 v3;
  Vector4 v4;
  Quaternion q{1, 1, 1, 1};
  Color c;
  Transform t;
  Version version;
  String text, empty("x");
  EXPECT_EQ(in.ReadByte(byte), kOk);
  EXPECT_EQ(in.ReadInt16(i16), kOk);
  EXPECT_EQ(in.ReadInt32(i32), kOk);
  EXPECT_EQ(in.ReadBool(flag), kOk);
  EXPECT_EQ(in.ReadFloat(f), kOk);
  EXPECT_EQ(in.ReadDouble(d), kOk);
  EXPECT_EQ(in.ReadVector2(v2), kOk);
  EXPECT_EQ(in.ReadVector3(v3), kOk);
  EXPECT_EQ(in.ReadVector4(v4), kOk);
  EXPECT_EQ(in.ReadQuaternion(q), kOk);
  EXPECT_EQ(in.ReadColor(c), kOk);
  EXPECT_EQ(in.ReadTransform(t), kOk);
  EXPECT_EQ(in.ReadVersion(version), kOk);
  EXPECT_EQ(in.ReadString(text), kOk);
  ASSERT_EQ(in.ReadString(empty), kOk);
  EXPECT_EQ(byte, 0xAB);
  EXPECT_EQ(i16, -2);
  EXPECT_EQ(i32, 0x01020304);
  EXPECT_TRUE(flag);
  EXPECT_EQ(f, 1.5f);
  EXPECT_EQ(d, -0.25);
  EXPECT_EQ(v3, (Vector3{3, 4, 5}));
  EXPECT_EQ(v4, (Vector4{6, 7, 8, 9}));
  EXPECT_EQ(q, Quaternion::Identity());
  EXPECT_EQ(c, (Color{0.1f, 0.2f, 0.3f, 0.4f}));
  EXPECT_EQ(t.translation, (Vector3{1, 2, 3}));
  EXPECT_FALSE(t.isIdentity);  // flags are not stored and read back false
  EXPECT_FALSE(t.rotationIsIdentity);
  EXPECT_EQ(version, (Version{0, 1, 2}));
  EXPECT_EQ(text, "Root");
  EXPECT_EQ(empty, "");
}

TEST_F(MemoryStreamTest, AnyNonZeroByteReadsAsTrue) {
  ReadStream in({0x00, 0x7F});
  bool a = true, b = false;
  EXPECT_EQ(in.ReadBool(a), kOk);
  EXPECT_EQ(in.ReadBool(b), kOk);
  EXPECT_FALSE(a);
  EXPECT_TRUE(b);
}

TEST_F(MemoryStreamTest, ReadingPastTheEndFailsAndTheFailureSticks) {
  ReadStream in({1, 2, 3, 4, 5, 6, 7});
  int32_t value = 0;
  uint8_t byte = 0;
  ASSERT_EQ(in.ReadByte(byte), kOk);
  ASSERT_EQ(in.ReadByte(byte), kOk);
  ASSERT_EQ(in.ReadByte(byte), kOk);
  ASSERT_EQ(in.ReadByte(byte), kOk);
  log_->lines.clear();
  EXPECT_EQ(in.ReadInt32(value), kFailed);  // 3 bytes remain
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Невозможно считать данные. Буффер переполнен.")));
  EXPECT_EQ(in.ReadByte(byte), kFailed);  // even though a byte remains
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Неправильное состояние потока.")));
  EXPECT_EQ(in.WriteByte(1), kFailed);
}

TEST_F(MemoryStreamTest, AStringLongerThanTheStreamFailsWithoutAllocating) {
  ReadStream in({0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b'});
  String text("kept");
  EXPECT_EQ(in.ReadString(text), kFailed);
  EXPECT_EQ(text, "kept");
  ReadStream negative({0xFE, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(negative.ReadString(text), kFailed);
}

TEST_F(MemoryStreamTest, ReadingWithNoBufferFails) {
  MemoryStream empty(0, 0);
  uint8_t byte;
  EXPECT_EQ(empty.ReadByte(byte), kFailed);
  EXPECT_TRUE(log_->Has(kLogWarning, test::Text("Невозможно считать данные. Буффер не существует.")));
}

TEST_F(MemoryStreamTest, GrowsByWholeStepsAndRefusesAZeroStep) {
  MemoryStream stream(4, 10);
  const uint8_t data[25] = {};
  ASSERT_EQ(stream.Write(data, 3), kOk);
  EXPECT_EQ(stream.GetSize(), 4);
  ASSERT_EQ(stream.Write(data, 25), kOk);
  EXPECT_EQ(stream.GetSize(), 34);  // 4 + 3 steps of 10 holds 28 bytes
  EXPECT_EQ(stream.GetPosition(), 28);

  MemoryStream fixed(2, 0);
  ASSERT_EQ(fixed.WriteInt16(7), kOk);
  log_->lines.clear();
  EXPECT_EQ(fixed.WriteByte(1), kFailed);
  ASSERT_EQ(log_->lines.size(), 2u);
  EXPECT_EQ(log_->lines[0].text, test::Text("Приращение буффера равно 0."));
  EXPECT_EQ(log_->lines[1].text, test::Text("Невозможно записать данные вследствие малого размера буффера."));
  EXPECT_EQ(fixed.GetError(), kFailed);
}

TEST_F(MemoryStreamTest, NullLinkIsMinusOne) {
  MemoryStream out(0, 64);
  out.WriteObject(nullptr);
  EXPECT_EQ(Bytes(out), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
  ReadStream in(Bytes(out));
  Object* object = reinterpret_cast<Object*>(1);
  log_->lines.clear();
  EXPECT_EQ(in.ReadObject(object), kOk);
  EXPECT_EQ(object, nullptr);
  EXPECT_TRUE(log_->Has(kLogInfo, "Read ID[-1]"));
}

TEST_F(MemoryStreamTest, FirstLinkIsInlineAndLaterLinksAreBareIds) {
  Ref<TestHolder> root(new TestHolder(String("Root")));
  MemoryStream out(0, 1024);
  ASSERT_EQ(out.WriteObject(root.Get()), kOk);
  ASSERT_EQ(out.WriteObject(root.Get()), kOk);
  const std::vector<uint8_t> bytes = Bytes(out);
  const int32_t id = root->GetID();
  std::vector<uint8_t> expected(4);
  std::memcpy(expected.data(), &id, 4);
  const uint8_t rest[] = {11, 0, 0, 0, 'T', 'E', 'S', 'T', '.', 'H', 'o', 'l', 'd', 'e', 'r',
                          4,  0, 0, 0, 'R', 'o', 'o', 't', 0,   0,   0,   0,   // no controllers
                          0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};               // null link, value
  expected.insert(expected.end(), std::begin(rest), std::end(rest));
  expected.insert(expected.end(), expected.begin(), expected.begin() + 4);  // bare ID
  EXPECT_EQ(bytes, expected);
}

TEST_F(MemoryStreamTest, SharedObjectsAndCyclesKeepTheirShape) {
  Ref<TestHolder> a(new TestHolder(String("a")));
  Ref<TestHolder> b(new TestHolder(String("b")));
  Ref<TestHolder> shared(new TestHolder(String("shared")));
  Ref<TestHolder> root(new TestHolder(String("root")));
  a->link = shared;
  b->link = shared;
  root->link = a;
  shared->value = 42;
  // The controller links back to its owner.
  Ref<TestHolder> self(new TestHolder(String("self")));
  self->link = self;

  MemoryStream out(0, 1024);
  ASSERT_EQ(out.WriteObject(root.Get()), kOk);
  ASSERT_EQ(out.WriteObject(b.Get()), kOk);
  ASSERT_EQ(out.WriteObject(self.Get()), kOk);
  self->link = nullptr;  // break our cycle so the test does not leak it

  ReadStream in(Bytes(out));
  TestHolder* rootIn = nullptr;
  TestHolder* bIn = nullptr;
  TestHolder* selfIn = nullptr;
  ASSERT_EQ(in.ReadObjectOf(rootIn), kOk);
  ASSERT_EQ(in.ReadObjectOf(bIn), kOk);
  ASSERT_EQ(in.ReadObjectOf(selfIn), kOk);
  Ref<TestHolder> holdRoot(rootIn), holdB(bIn), holdSelf(selfIn);
  auto* aIn = DynamicCast<TestHolder>(rootIn->link.Get());
  ASSERT_NE(aIn, nullptr);
  EXPECT_EQ(aIn->GetName(), "a");
  EXPECT_EQ(aIn->link.Get(), bIn->link.Get());  // one object referenced twice
  EXPECT_EQ(static_cast<TestHolder*>(bIn->link.Get())->value, 42);
  EXPECT_NE(rootIn->GetID(), root->GetID());  // loading gives new IDs
  EXPECT_EQ(selfIn->link.Get(), selfIn);
  selfIn->link = nullptr;
}

TEST_F(MemoryStreamTest, ControllersComeBackInTheirOrder) {
  Ref<TestHolder> owner(new TestHolder(String("owner")));
  EXPECT_EQ(owner->AttachController(new TestController(String("A"))), kOk);
  EXPECT_EQ(owner->AttachController(new TestController(String("B"))), kOk);
  owner->GetController(1)->SetActive(false);
  MemoryStream out(0, 1024);
  ASSERT_EQ(out.WriteObject(owner.Get()), kOk);

  ReadStream in(Bytes(out));
  TestHolder* loaded = nullptr;
  ASSERT_EQ(in.ReadObjectOf(loaded), kOk);
  Ref<TestHolder> hold(loaded);
  ASSERT_EQ(loaded->GetControllerCount(), 2);
  EXPECT_EQ(loaded->GetController(0)->GetName(), "B");
  EXPECT_EQ(loaded->GetController(1)->GetName(), "A");
  EXPECT_FALSE(loaded->GetController(1)->IsActive());
  EXPECT_TRUE(loaded->GetController(0)->IsActive());
  EXPECT_EQ(loaded->GetController(0)->GetOwner(), loaded);
}

std::vector<uint8_t> LinkTo(const char* className) {
  std::vector<uint8_t> bytes = {7, 0, 0, 0};
  const uint32_t length = static_cast<uint32_t>(std::strlen(className));
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(length >> (8 * i)));
  bytes.insert(bytes.end(), className, className + length);
  return bytes;
}

TEST_F(MemoryStreamTest, UnknownAndAbstractClassesFailTheLoad) {
  ReadStream unknown(LinkTo("KLX.Nothing"));
  Object* object = nullptr;
  EXPECT_EQ(unknown.ReadObject(object), kFailed);
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Невозможно найти функцию создания объекта. RTTI[KLX.Nothing] ID[7]")));

  ReadStream abstract(LinkTo("KLX.Controller"));
  EXPECT_EQ(abstract.ReadObject(object), kFailed);
  EXPECT_EQ(object, nullptr);
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Невозможно создать объект. RTTI[KLX.Controller] ID[7]")));
}

TEST_F(MemoryStreamTest, ALinkOfTheWrongClassIsRefused) {
  // A holder whose "controller" is another holder.
  Ref<TestHolder> inner(new TestHolder(String("inner")));
  MemoryStream out(0, 1024);
  const int32_t id = 99;
  out.WriteInt32(id);
  out.WriteString(String("TEST.Holder"));
  out.WriteString(String("outer"));
  out.WriteInt32(1);
  out.WriteObject(inner.Get());
  ReadStream in(Bytes(out));
  Object* object = nullptr;
  EXPECT_EQ(in.ReadObject(object), kFailed);
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Невозможно загрузить контроллер объекта. Имя[outer] ID[%d]", object->GetID())));
  // The stream still holds the partly loaded object; a second link to the
  // same ID is safe to follow.
  EXPECT_EQ(object->GetName(), "outer");
}

}  // namespace
}  // namespace klx
