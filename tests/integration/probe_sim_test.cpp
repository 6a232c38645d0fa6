// The AT dialogue of the probe against the simulated modem, one row of its
// decision table per case.
#include "app/flash_job.h"
#include "modem/modem_types.h"
#include "modem/probe.h"
#include "sim_fixture.h"

#include <cstring>
#include <deque>

namespace {

namespace mb = platform::mb;
using Strings = std::vector<std::string>;

constexpr int SIM_PORT = 2;

struct ProbeCase {
    const char* name;
    Strings modem_options;
    std::deque<int> answers;  // to the boxes, in order
    int result;
    Strings captions;  // of the boxes shown
};

// The sample image carries a resident loader with sector size 0x40 and
// checksum 1A2B, for an ISA modem (the simulator's type too).
const ProbeCase PROBE_CASES[] = {
    {"NoResidentLoader", {}, {}, PROBE_FULL_LOAD, {}},
    {"CompatibleResidentLoader", {"--resident", "40:1A2B"}, {}, PROBE_ENTER_RRFL, {}},
    {"CompatibleLoaderRunning", {"--resident", "40:1A2B", "--in-rrfl", "--rrfl-version", "Ver:4.3"}, {},
     PROBE_RRFL_RUNNING, {}},
    {"OtherChecksumEraseDeclined", {"--resident", "40:1234"}, {mb::ANSWER_NO}, PROBE_ABANDON,
     {"MUST USE FULL ERASE !!!"}},
    {"OtherSectorSizeEraseAccepted", {"--resident", "10:1A2B"}, {mb::ANSWER_YES}, PROBE_FULL_LOAD,
     {"MUST USE FULL ERASE !!!"}},
    {"IncompatibleLoaderRunning", {"--resident", "40:1234", "--in-rrfl"}, {}, PROBE_ABANDON, {"INCOMPATIBLE LOAD"}},
};

void PrintTo(const ProbeCase& c, std::ostream* out)
{
    *out << c.name;
}

class ProbeAgainstSimulator : public integ::SimulatorTest, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(ProbeAgainstSimulator, EndsWithTheResultOfItsRow)
{
    const ProbeCase& c = GetParam();
    start_modem(SIM_PORT, c.modem_options);
    choose_image(image);
    ASSERT_EQ(job.image_sector, 0x40);
    ASSERT_EQ(job.image_checksum, 0x1A2B);
    window.answers = c.answers;
    job.com_port = SIM_PORT;

    EXPECT_EQ(probe_modem(), c.result);
    EXPECT_EQ(job.modem_type, MT_ISA);
    EXPECT_TRUE(job.port_open) << "every result that may lead to programming keeps the port";
    EXPECT_EQ(box_captions(), c.captions);
    if (c.result == PROBE_RRFL_RUNNING) {
        EXPECT_NE(std::strstr(job.rx_buf, "Ver:4.3"), nullptr) << "the reply to AT&&FGO: " << job.rx_buf;
    }
}

INSTANTIATE_TEST_SUITE_P(DecisionTable, ProbeAgainstSimulator, ::testing::ValuesIn(PROBE_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
