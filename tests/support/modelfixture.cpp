#include "support/modelfixture.h"

#include "model/eventlist.h"
#include "model/flashimage.h"
#include "model/loggerdata.h"
#include "model/model.h"
#include "model/target.h"
#include "model/taskblock.h"

namespace korvel::test {

void ModelFixture::ResetModel() {
    ResetTargetState();
    ResetStationConfig();
    ResetEventMonitorState();
    ResetLoggerData();
    ResetFlashImage();
    ResetTaskState();
}

void ModelFixture::SetUp() {
    ResetModel();
    BaseFixture::SetUp();
}

void ModelFixture::TearDown() {
    ResetModel();
    BaseFixture::TearDown();
}

} // namespace korvel::test
