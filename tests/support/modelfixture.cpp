#include "support/modelfixture.h"

#include "model/modelstate.h"

namespace korvel::test {

void ModelFixture::SetUp() {
    ResetModelState();
    BaseFixture::SetUp();
}

void ModelFixture::TearDown() {
    ResetModelState();
    BaseFixture::TearDown();
}

} // namespace korvel::test
