#include "characters.h"

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "animation/animation_controller.h"
#include "animation/keyframe.h"
#include "animation/skeleton_animation_controller.h"
#include "animation/skin_controller.h"
#include "mesh_builder.h"
#include "random.h"
#include "render/effects/material_effects.h"
#include "scene/geometry_node.h"
#include "scene/scene_node.h"
#include "scene/transform.h"

namespace klx::scenebuild {

namespace {

using content::Rgba;

constexpr float kPi = 3.14159265f;
constexpr double kTwoPi = 6.283185307179586;

float Radians(float degrees) { return degrees * kPi / 180.0f; }

Quaternion Turn(const Vector3& axis, float degrees) { return Quaternion::FromAxisAngle(axis, Radians(degrees)); }

// Rotations applied one after the other (first, then second, then third).
Quaternion Then(const Quaternion& first, const Quaternion& second, const Quaternion& third = Quaternion::Identity()) {
  return Quaternion::Multiply(Quaternion::Multiply(first, second), third).Normalized();
}

// 0 outside [from, to], rising to 1 in the middle and back, smoothly.
double Bump(double t, double from, double to) {
  if (t <= from || t >= to) return 0.0;
  const double s = std::sin(kPi * (t - from) / (to - from));
  return s * s;
}

// A bone's pose over one cycle: its turn and its shift from the rest place,
// as functions of the cycle's phase in [0, 1).
struct Motion {
  std::function<Quaternion(double)> turn = [](double) { return Quaternion::Identity(); };
  std::function<Vector3(double)> shift = [](double) { return Vector3{0, 0, 0}; };
};

// The bones of one character under its holder node, the weights that tie
// the mesh's vertices to them, and their cycles.
class Rig {
 public:
  Rig(SceneNode& holder, std::string name, double period) : holder_(holder), name_(std::move(name)), period_(period) {
    skeleton_ = new SkeletonAnimationController(String((name_ + "Skeleton").c_str()));
    skeleton_->SetTrackPeriod(period);
  }

  // A bone turning about `pivot` (in the holder's space), under `parent`
  // (-1: the holder). Returns its index.
  int Bone(const char* name, int parent, const Vector3& pivot) {
    Ref<SceneNode> bone(new SceneNode(String((name_ + name).c_str())));
    const Vector3 base = parent >= 0 ? pivots_[static_cast<size_t>(parent)] : Vector3{0, 0, 0};
    SetTranslation(bone->LocalTransform(), pivot - base);
    SceneNode& under = parent >= 0 ? *bones_[static_cast<size_t>(parent)] : holder_;
    under.AttachChild(bone.Get());
    bones_.push_back(bone);
    pivots_.push_back(pivot);
    return static_cast<int>(bones_.size()) - 1;
  }

  // Vertices [from, to) follow one bone.
  void Rigid(int32_t from, int32_t to, int bone) {
    for (int32_t v = from; v < to; ++v) Weigh(v, Vector4{1, 0, 0, 0}, Vector4{static_cast<float>(bone), 0, 0, 0});
  }
  // A vertex shared between two bones.
  void Blend(int32_t vertex, int a, int b, float weightA) {
    Weigh(vertex, Vector4{weightA, 1.0f - weightA, 0, 0}, Vector4{static_cast<float>(a), static_cast<float>(b), 0, 0});
  }

  // The bone's cycle as keyframes: `keys` samples over the cycle and one
  // closing it, so the loop has no seam.
  Ref<NodeAnimation> Cycle(int bone, const Motion& motion, int keys) const {
    Ref<NodeAnimation> animation(new NodeAnimation(String("Cycle")));
    const Vector3 rest = bones_[static_cast<size_t>(bone)]->GetLocalTransform().translation;
    for (int k = 0; k <= keys; ++k) {
      const double t = static_cast<double>(k) / keys;
      auto keyframe = std::make_unique<NodeKeyframe>();
      keyframe->time = t;
      keyframe->rotation = motion.turn(k == keys ? 0.0 : t);
      keyframe->translation = rest + motion.shift(k == keys ? 0.0 : t);
      animation->AddKeyframe(std::move(keyframe));
    }
    return animation;
  }

  // Plays a cycle on the bone, `offset` of a cycle ahead.
  void Play(int bone, NodeAnimation* animation, double offset = 0.0) {
    SceneNode& node = *bones_[static_cast<size_t>(bone)];
    Ref<NodeAnimationController> controller(
        new NodeAnimationController(String((node.GetName().CStr() + std::string("Cycle")).c_str())));
    controller->AddAnimation(animation);
    AnimationFrame frame;
    frame.animation = animation;
    frame.mode = AnimationFrame::kLoop;
    frame.start = 0.0;
    frame.end = 1.0;
    frame.offset = offset;
    controller->AddFrame(frame);
    controller->SetTrackPeriod(period_);
    if (node.AttachController(controller.Get()) != kOk) return;
    skeleton_->AddBoneController(controller.Get());
  }
  void Animate(int bone, const Motion& motion, int keys, double offset = 0.0) {
    Play(bone, Cycle(bone, motion, keys).Get(), offset);
  }

  // The skinned mesh, after the bones under the holder, and the skeleton
  // on the holder. The mesh keeps the bind pose in the skin and is posed
  // into world space each frame.
  bool Finish(const MeshBuilder& builder, TextureEffect* effect) {
    Ref<Triangles> mesh = builder.Build((name_ + "Mesh").c_str(), effect);
    auto* posed = static_cast<Vector3Buffer*>(mesh->GetVertexBuffer());
    const int32_t count = posed->GetCount();
    weights_.resize(static_cast<size_t>(count), Vector4{1, 0, 0, 0});
    indices_.resize(static_cast<size_t>(count), Vector4{0, 0, 0, 0});
    Ref<SkinController> skin(new SkinController(String((name_ + "Skin").c_str())));
    skin->SetVertices(Ref<Vector3Buffer>(new Vector3Buffer(String(), count, posed->Elements())).Get());
    if (auto* normals = DynamicCast<Vector3Buffer>(mesh->GetNormalBuffer())) {
      skin->SetNormals(Ref<Vector3Buffer>(new Vector3Buffer(String(), count, normals->Elements())).Get());
    }
    skin->SetWeights(Ref<Vector4Buffer>(new Vector4Buffer(String(), count, weights_.data())).Get());
    skin->SetIndices(Ref<Vector4Buffer>(new Vector4Buffer(String(), count, indices_.data())).Get());
    for (size_t b = 0; b < bones_.size(); ++b) {
      // From the holder's space into the bone's: the bones stand unturned
      // at their pivots in the bind pose.
      Transform toBone;
      SetTranslation(toBone, pivots_[b] * -1.0f);
      skin->AddBone(bones_[b].Get(), toBone);
    }
    if (mesh->AttachController(skin.Get()) != kOk) return false;
    effect->SetSkinController(skin.Get());
    return holder_.AttachChild(mesh.Get()) == kOk && holder_.AttachController(skeleton_.Get()) == kOk;
  }

 private:
  void Weigh(int32_t vertex, const Vector4& weights, const Vector4& indices) {
    if (static_cast<size_t>(vertex) >= weights_.size()) {
      weights_.resize(static_cast<size_t>(vertex) + 1, Vector4{1, 0, 0, 0});
      indices_.resize(static_cast<size_t>(vertex) + 1, Vector4{0, 0, 0, 0});
    }
    weights_[static_cast<size_t>(vertex)] = weights;
    indices_[static_cast<size_t>(vertex)] = indices;
  }

  SceneNode& holder_;
  std::string name_;
  double period_;
  Ref<SkeletonAnimationController> skeleton_;
  std::vector<Ref<SceneNode>> bones_;
  std::vector<Vector3> pivots_;
  std::vector<Vector4> weights_;
  std::vector<Vector4> indices_;
};

// ---------------------------------------------------------------------------
// Birds

// One flap-and-glide cycle: three beats in the first 40 %, then a glide
// with the wings held a little up.
constexpr double kFlapShare = 0.4;
constexpr int kBeats = 3;

double BeatAngle(double t) { return kTwoPi * kBeats * t / kFlapShare; }

// The inner wing's lift in degrees: up and down through the beats, ten
// degrees up while gliding. The outer wing follows a little late.
float InnerLift(double t) { return t < kFlapShare ? 10.0f + 38.0f * static_cast<float>(std::sin(BeatAngle(t))) : 10.0f; }
float OuterLift(double t) {
  return t < kFlapShare ? 16.0f * static_cast<float>(std::sin(BeatAngle(t) - 0.9)) + 4.0f : 4.0f;
}

struct WingCycles {
  Ref<NodeAnimation> leftInner, leftOuter, rightInner, rightOuter;
};

}  // namespace

Ref<SceneNode> BuildFlock(Palette& palette, TextureEffect* effect, const char* name, uint32_t seed, int birds,
                          const Circle& circle, double period) {
  Ref<SceneNode> flock(new SceneNode(String(name)));
  content::Random random(seed);
  const double cycle = random.Range(3.4f, 4.2f);
  Rig rig(*flock, name, cycle);
  // One palette cell for the whole bird: a triangle's coordinates must not
  // run across other cells.
  MeshBuilder mesh;
  const Vector2 dark = palette.Cell(Rgba{0.08f, 0.07f, 0.09f, 1});
  // The birds of a flock share a span, so they share their wings' cycles.
  const float span = random.Range(0.95f, 1.25f);
  const float root = 0.07f, elbow = root + 0.5f * span;
  WingCycles wings;
  for (int i = 0; i < birds; ++i) {
    // A loose V behind the leader.
    const float side = (i % 2 == 0 ? 1.0f : -1.0f) * static_cast<float>((i + 1) / 2);
    const Vector3 c{side * random.Range(2.5f, 3.5f), random.Range(-1.0f, 1.0f), -std::fabs(side) * random.Range(2.0f, 3.0f)};
    const float turn = random.Range(-0.15f, 0.15f);
    auto at = [&](float x, float y, float z) { return c + RotateY(Vector3{x, y, z}, turn); };
    const std::string bird = "Bird" + std::to_string(i + 1);
    const int body = rig.Bone((bird + "Body").c_str(), -1, c);
    int wing[2][2];  // [left, right][inner, outer]
    for (int s = 0; s < 2; ++s) {
      const float x = s == 0 ? 1.0f : -1.0f;
      const char* sideName = s == 0 ? "Left" : "Right";
      wing[s][0] = rig.Bone((bird + sideName + "Wing").c_str(), body, at(x * root, 0, 0));
      wing[s][1] = rig.Bone((bird + sideName + "Hand").c_str(), wing[s][0], at(x * elbow, 0, 0));
    }
    // The body: a spindle from beak to tail with a fanned tail.
    const int32_t first = mesh.VertexCount();
    const int32_t nose = mesh.Vertex(at(0, 0, 0.42f), dark), tail = mesh.Vertex(at(0, 0.03f, -0.42f), dark);
    const int32_t top = mesh.Vertex(at(0, 0.07f, 0.05f), dark), bottom = mesh.Vertex(at(0, -0.06f, 0.05f), dark);
    const int32_t left = mesh.Vertex(at(0.07f, 0, 0.05f), dark), right = mesh.Vertex(at(-0.07f, 0, 0.05f), dark);
    const int32_t fanL = mesh.Vertex(at(0.12f, 0.02f, -0.58f), dark), fanR = mesh.Vertex(at(-0.12f, 0.02f, -0.58f), dark);
    for (int32_t side : {left, right}) {
      mesh.Triangle(nose, top, side);
      mesh.Triangle(nose, side, bottom);
      mesh.Triangle(tail, side, top);
      mesh.Triangle(tail, bottom, side);
    }
    mesh.Triangle(tail, fanL, fanR);
    rig.Rigid(first, mesh.VertexCount(), body);
    // Each wing: an inner part from the body to the elbow, and the hand
    // swept back to the tip. The wing's root is shared with the body.
    for (int s = 0; s < 2; ++s) {
      const float x = s == 0 ? 1.0f : -1.0f;
      const int32_t rootFront = mesh.Vertex(at(x * root, 0.01f, 0.16f), dark);
      const int32_t rootBack = mesh.Vertex(at(x * root, 0.01f, -0.12f), dark);
      rig.Blend(rootFront, body, wing[s][0], 0.5f);
      rig.Blend(rootBack, body, wing[s][0], 0.5f);
      const int32_t elbowFront = mesh.Vertex(at(x * elbow, 0, 0.1f), dark);
      const int32_t elbowBack = mesh.Vertex(at(x * elbow, 0, -0.15f), dark);
      rig.Rigid(elbowFront, elbowBack + 1, wing[s][0]);
      const int32_t tip = mesh.Vertex(at(x * (root + span), 0, -0.14f), dark);
      const int32_t tipBack = mesh.Vertex(at(x * (root + 0.82f * span), 0, -0.26f), dark);
      rig.Rigid(tip, tipBack + 1, wing[s][1]);
      mesh.Quad(rootFront, elbowFront, elbowBack, rootBack);
      mesh.Quad(elbowFront, tip, tipBack, elbowBack);
    }
    // Flapping: the wings turn about the bird's own forward axis, the body
    // rises a little on each down-stroke. Every bird is out of step.
    const Vector3 forward = RotateY(Vector3{0, 0, 1}, turn);
    if (i == 0) {
      Motion m;
      m.turn = [forward](double t) { return Turn(forward, InnerLift(t)); };
      wings.leftInner = rig.Cycle(wing[0][0], m, 48);
      m.turn = [forward](double t) { return Turn(forward, -InnerLift(t)); };
      wings.rightInner = rig.Cycle(wing[1][0], m, 48);
      m.turn = [forward](double t) { return Turn(forward, OuterLift(t)); };
      wings.leftOuter = rig.Cycle(wing[0][1], m, 48);
      m.turn = [forward](double t) { return Turn(forward, -OuterLift(t)); };
      wings.rightOuter = rig.Cycle(wing[1][1], m, 48);
    }
    const double offset = random.Range(0.0f, 1.0f);
    rig.Play(wing[0][0], wings.leftInner.Get(), offset);
    rig.Play(wing[0][1], wings.leftOuter.Get(), offset);
    rig.Play(wing[1][0], wings.rightInner.Get(), offset);
    rig.Play(wing[1][1], wings.rightOuter.Get(), offset);
    Motion bob;
    bob.shift = [](double t) {
      return Vector3{0, t < kFlapShare ? -0.07f * static_cast<float>(std::sin(BeatAngle(t))) : 0.0f, 0};
    };
    rig.Animate(body, bob, 48, offset);
  }
  if (!rig.Finish(mesh, effect)) return Ref<SceneNode>();
  const Loop glide = FlockLoop(circle, period, 48);
  SetTranslation(flock->LocalTransform(), glide.poses.front().position);
  SetRotation(flock->LocalTransform(), glide.poses.front().rotation);
  const std::string track = std::string(name) + "Track";
  if (flock->AttachController(MakeLoopController(track.c_str(), glide).Get()) != kOk) return Ref<SceneNode>();
  return flock;
}

// ---------------------------------------------------------------------------
// The person by the fire

Ref<SceneNode> BuildFireSitter(Palette& palette, TextureEffect* effect, const Vector3& seat, const Vector3& facing) {
  Ref<SceneNode> sitter(new SceneNode(String("FireSitter")));
  SetTranslation(sitter->LocalTransform(), seat);
  SetRotation(sitter->LocalTransform(), Heading(Vector3{facing.x, 0, facing.z}));
  constexpr double kCycle = 12.0;
  Rig rig(*sitter, "Sitter", kCycle);
  const Vector3 x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
  // Sitting on a log, facing +z: hips over the log, thighs forward, shins
  // down, arms hanging in the bind pose.
  const int log = rig.Bone("Log", -1, {0, 0, 0});
  const int hips = rig.Bone("Hips", -1, {0, 0.47f, 0});
  const int spine = rig.Bone("Spine", hips, {0, 0.58f, 0});
  const int chest = rig.Bone("Chest", spine, {0, 0.8f, 0});
  const int head = rig.Bone("Head", chest, {0, 1.02f, 0});
  int upperArm[2], forearm[2], thigh[2], shin[2];
  const char* sides[2] = {"Left", "Right"};
  for (int s = 0; s < 2; ++s) {
    const float side = s == 0 ? 1.0f : -1.0f;
    const std::string n = sides[s];
    upperArm[s] = rig.Bone((n + "UpperArm").c_str(), chest, {side * 0.24f, 0.97f, 0});
    forearm[s] = rig.Bone((n + "Forearm").c_str(), upperArm[s], {side * 0.24f, 0.7f, 0});
    thigh[s] = rig.Bone((n + "Thigh").c_str(), hips, {side * 0.1f, 0.47f, 0});
    shin[s] = rig.Bone((n + "Shin").c_str(), thigh[s], {side * 0.1f, 0.47f, 0.42f});
  }
  MeshBuilder mesh(true);
  const Rgba jacket{0.2f, 0.3f, 0.19f, 1}, trousers{0.2f, 0.19f, 0.25f, 1}, skin{0.82f, 0.6f, 0.47f, 1};
  const Rgba boots{0.13f, 0.1f, 0.08f, 1}, cap{0.62f, 0.13f, 0.1f, 1}, bark{0.36f, 0.25f, 0.16f, 1};
  auto part = [&](int bone, const Vector3& centre, const Vector3& half, const Rgba& colour) {
    const int32_t first = mesh.VertexCount();
    AddBox(mesh, palette, centre, half, 0.0f, colour);
    rig.Rigid(first, mesh.VertexCount(), bone);
  };
  part(log, {0, 0.2f, 0}, {0.7f, 0.2f, 0.2f}, bark);
  part(hips, {0, 0.51f, 0}, {0.17f, 0.08f, 0.13f}, trousers);
  part(spine, {0, 0.68f, 0}, {0.16f, 0.11f, 0.11f}, jacket);
  part(chest, {0, 0.88f, 0}, {0.2f, 0.12f, 0.12f}, jacket);
  part(head, {0, 1.04f, 0}, {0.045f, 0.04f, 0.045f}, skin);
  part(head, {0, 1.15f, 0.01f}, {0.09f, 0.1f, 0.1f}, skin);
  part(head, {0, 1.26f, 0.02f}, {0.1f, 0.035f, 0.11f}, cap);
  part(head, {0, 1.24f, 0.13f}, {0.08f, 0.01f, 0.05f}, cap);
  for (int s = 0; s < 2; ++s) {
    const float side = s == 0 ? 1.0f : -1.0f;
    part(upperArm[s], {side * 0.25f, 0.84f, 0}, {0.055f, 0.14f, 0.055f}, jacket);
    part(forearm[s], {side * 0.25f, 0.58f, 0}, {0.05f, 0.13f, 0.05f}, jacket);
    part(forearm[s], {side * 0.25f, 0.42f, 0.01f}, {0.035f, 0.05f, 0.03f}, skin);
    part(thigh[s], {side * 0.1f, 0.49f, 0.21f}, {0.075f, 0.075f, 0.23f}, trousers);
    part(shin[s], {side * 0.1f, 0.26f, 0.43f}, {0.065f, 0.22f, 0.065f}, trousers);
    part(shin[s], {side * 0.1f, 0.04f, 0.48f}, {0.065f, 0.04f, 0.11f}, boots);
  }

  // The cycle: breathing throughout; hands held out to the fire and rubbed
  // now and then; a look round to the left and up at the sky; the right
  // hand reaching into the fire to poke it; a foot tapping.
  constexpr int kKeys = 72;
  auto breath = [](double t) { return std::sin(kTwoPi * 4.0 * t); };
  auto look = [](double t) { return Bump(t, 0.42, 0.72); };
  auto poke = [](double t) { return Bump(t, 0.76, 0.96); };
  auto rub = [](double t) { return Bump(t, 0.02, 0.36) * std::sin(kTwoPi * 9.0 * t); };
  Motion m;
  m.turn = [=](double t) { return Turn(x, 10.0f + 1.2f * static_cast<float>(breath(t)) + 6.0f * static_cast<float>(poke(t))); };
  rig.Animate(spine, m, kKeys);
  m.turn = [=](double t) { return Turn(x, 1.5f * static_cast<float>(breath(t + 0.05))); };
  rig.Animate(chest, m, kKeys);
  m.turn = [=](double t) {
    const float l = static_cast<float>(look(t));
    const float nod = 2.0f * static_cast<float>(std::sin(kTwoPi * 2.0 * t));
    return Then(Turn(x, 14.0f - 30.0f * l + nod), Turn(y, 45.0f * l - 20.0f * static_cast<float>(poke(t))));
  };
  rig.Animate(head, m, kKeys);
  for (int s = 0; s < 2; ++s) {
    const float side = s == 0 ? 1.0f : -1.0f;
    const bool right = s == 1;
    m.turn = [=](double t) {
      const float reach = right ? static_cast<float>(poke(t)) : 0.0f;
      const float rubbing = 4.0f * static_cast<float>(rub(t)) * side;
      return Then(Turn(z, -side * (12.0f - 6.0f * reach) + rubbing), Turn(x, -58.0f - 22.0f * reach));
    };
    rig.Animate(upperArm[s], m, kKeys);
    m.turn = [=](double t) {
      const float reach = right ? static_cast<float>(poke(t)) : 0.0f;
      return Turn(x, -48.0f + 36.0f * reach - 5.0f * static_cast<float>(rub(t)) * side);
    };
    rig.Animate(forearm[s], m, kKeys);
  }
  m.turn = [=](double t) { return Turn(x, 5.0f * static_cast<float>(Bump(t, 0.2, 0.3) + Bump(t, 0.3, 0.4))); };
  rig.Animate(shin[1], m, kKeys);
  if (!rig.Finish(mesh, effect)) return Ref<SceneNode>();
  return sitter;
}

}  // namespace klx::scenebuild
