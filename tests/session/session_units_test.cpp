// The session layer's pure parts: the options keys (their range errors are
// tested through tandrel_open), the handle encoding and the model a reported
// model id is read as.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <string>

#include "core/meter_model.h"
#include "session/session_options.h"
#include "session/session_table.h"

namespace tandrel {
namespace {

TEST(SessionOptions, Table) {
    const struct {
        const char* text;
        int32_t max_age;
        uint16_t connection;
    } cases[] = {
        {nullptr, 300000, 0},
        {"", 300000, 0},
        {"{\"port\":1502}", 300000, 0},
        {"{\"setup_max_age_ms\":0}", 0, 0},
        {"{\"setup_max_age_ms\" : 86400000, \"connection\": 65535}", 86400000, 65535},
        {"{\"connection\":3,\"setup_max_age_ms\":1500}", 1500, 3},
        {"{\"connection\":\"3\"}", 300000, 0},  // a string is no number: the default stays
        {"{\"reconnection\":3}", 300000, 0},    // only the quoted key matches
    };
    for (const auto& c : cases) {
        const SessionOptions o = parse_session_options(c.text);
        EXPECT_EQ(o.setup_max_age_ms, c.max_age) << (c.text ? c.text : "null");
        EXPECT_EQ(o.connection, c.connection) << (c.text ? c.text : "null");
    }
}

// A handle is never null, and decodes to the slot and generation it was made
// of; a value outside the slots decodes to no slot.
TEST(SessionHandle, Table) {
    const HandleParts cases[] = {{0, 1}, {1, 1}, {0, 0xFFFF}, {65534, 2}, {17, 40000}};
    for (const HandleParts& p : cases) {
        const tandrel_session* h = encode_handle(p);
        EXPECT_NE(h, nullptr);
        EXPECT_EQ(decode_handle(h).slot, p.slot);
        EXPECT_EQ(decode_handle(h).generation, p.generation);
    }
    EXPECT_EQ(decode_handle(reinterpret_cast<tandrel_session*>(std::uintptr_t{7})).slot, 65535u);
}

// 335 (a pm335) reads as an em235; an unknown id leaves the model as it was.
TEST(ModelForId, Table) {
    const std::pair<uint32_t, int> cases[] = {{133, 0}, {235, 1}, {335, 1}, {0, -1}, {134, -1}, {0xFFFFFFFF, -1}};
    for (const auto& [id, model] : cases) {
        MeterModel m = static_cast<MeterModel>(7);
        EXPECT_EQ(model_for_id(id, m), model >= 0) << id;
        EXPECT_EQ(static_cast<int>(m), model >= 0 ? model : 7) << id;
    }
    EXPECT_EQ(all_model_names(), "em133, em235 or pm335");
}

}  // namespace
}  // namespace tandrel
