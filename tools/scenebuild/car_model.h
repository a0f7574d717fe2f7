#pragma once
// The car's body: a low-poly saloon about 4.4 m long, built round its own
// origin on the ground, facing +z: body and cabin extruded from their side
// outlines, glass all round the cabin, wheels, bumpers, grille, lights and
// mirrors. Its head lamps sit where the head-light flares shine.

#include "mesh_builder.h"

namespace klx::scenebuild {

void AddCarBody(MeshBuilder& mesh, Palette& palette);

}  // namespace klx::scenebuild
