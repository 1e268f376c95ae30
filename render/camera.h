// camera.h -- where every draw starts: the identity model-view matrix moved back along the view axis.
#pragma once

constexpr float CameraZ = -5.0f;  // model units along z; the eye looks down -z
