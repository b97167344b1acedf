// Common ground for model tests: every test starts from and leaves the model's
// program-start state, with scripted prompts.
#pragma once

#include "support/basefixture.h"

namespace korvel::test {

class ModelFixture : public BaseFixture {
protected:
    void SetUp() override;
    void TearDown() override;
};

} // namespace korvel::test
