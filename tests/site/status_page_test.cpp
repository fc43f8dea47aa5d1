// The status page in a real browser: headless Chromium loads it from a small
// server with the page's routes, runs its script against simulated meters,
// and the test reads the text it shows. A screenshot is kept in the build
// folder (status_page.png) for a person to look at.
#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <thread>

#include "json_value.h"
#include "sim/simulator.h"
#include "simulated_meter.h"
#include "status_page.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace tandrel_site::testing {
namespace {

using namespace tandrel::testing;

std::string chromium(const std::string& url, const std::string& what, const TempDir& dir) {
    std::string out = dir.file("chromium.out");
    std::filesystem::remove(out);
    wait_for(spawn({"/usr/bin/chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
           "--no-first-run", "--disable-background-networking", "--disable-component-update",
           "--disable-sync", "--user-data-dir=" + dir.file("profile"), "--window-size=1500,420",
           "--virtual-time-budget=4000", what, url},
                   out, {}, true));
    return file_text(out);
}

std::string shown(const LiveReading& reading) { return json_number(reading.value) + " " + reading.unit; }

TEST(StatusPage, ChromiumShowsEachMeterAndEscapesItsName) {
    tandrel_sim::Simulator sim(tandrel_sim::Model::EM235, tandrel_sim::SimOptions::deterministic());
    sim.start();
    MeterState answered = simulated_meter_state("Boiler room", sim.port());
    answered.last_collection_ms = answered.last_success_ms;
    answered.last_collection_ok = true;
    answered.last_collection_text = "12 new records";
    MeterState silent;
    silent.name = "<b>Pump</b> & \"Co\"";
    silent.address = "127.0.0.1:1502";
    silent.unit_id = 3;
    silent.polls = silent.failures = 2;
    silent.last_error = "Connection refused";

    httplib::Server server;
    for (const HttpRoute& route : status_page_routes([&] { return std::vector{answered, silent}; }))
        server.Get(route.path, [route](const httplib::Request&, httplib::Response& response) {
            response.set_content(route.body(), route.content_type.c_str());
        });
    int port = server.bind_to_any_port("127.0.0.1");
    std::thread listener([&] { server.listen_after_bind(); });
    std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
    TempDir dir;
    std::string dom = chromium(url, "--dump-dom", dir);
    chromium(url, "--screenshot=" TANDREL_TEST_OUTPUT_DIR "/status_page.png", dir);
    server.stop();
    listener.join();

    auto reading = [&](const char* name) {
        for (const auto& r : answered.readings)
            if (r.name == name) return shown(r);
        return std::string("missing ") + name;
    };
    for (const std::string& text :
         {std::string("1 of 2 meters answered"), std::string("Boiler room"), std::string("EM235 23501178"),
          reading("V1"), reading("V3"), reading("Total kW"), reading("kWh import"),
          std::string("12 new records"), std::string("&lt;b&gt;Pump&lt;/b&gt; &amp; \"Co\""),
          std::string("no answer"), std::string("Connection refused"), std::string("127.0.0.1:1502 unit 3")})
        EXPECT_NE(dom.find(text), std::string::npos) << text << "\n" << dom;
    EXPECT_EQ(dom.find("<b>Pump"), std::string::npos);
    EXPECT_GT(std::filesystem::file_size(TANDREL_TEST_OUTPUT_DIR "/status_page.png"), 1000u);
}

}  // namespace
}  // namespace tandrel_site::testing
