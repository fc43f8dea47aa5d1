// The status page's two routes. The page's text is status_page.html, made
// into a string at configure time (status_page_html.h.in).
#include "status_page.h"

#include <chrono>

#include "meter_state_json.h"
#include "status_page_html.h"

namespace tandrel_site {

std::vector<HttpRoute> status_page_routes(StateSnapshot snapshot) {
    auto state = [snapshot = std::move(snapshot)] {
        auto now = std::chrono::system_clock::now().time_since_epoch();
        return meter_states_json(snapshot(),
                                 std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    };
    return {{"/", "text/html; charset=utf-8", [] { return std::string(STATUS_PAGE_HTML); }},
            {"/api/state", "application/json", state}};
}

}  // namespace tandrel_site
