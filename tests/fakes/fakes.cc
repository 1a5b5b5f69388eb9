// The fakes of the platform and the UI; most of them live in their headers.
#include "tests/fakes/fake_system.h"
#include "tests/fakes/recording_ui.h"
