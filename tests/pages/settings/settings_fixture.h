// A phone root, a phone process that is not in a call, and a page driven
// through the host fakes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "frame/http.h"
#include "tests/support/buspeer.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

class SettingsPage {
public:
    SettingsPage() : phone({"app_vpPhone", "app_vpScreen"}) { phone.reply(0x30007, 1); }

    // One request: "/servlet?p=<page>&q=<action>" plus form fields.
    FakeResponse& run(HttpServlet& servlet, const std::string& page, const std::string& action,
                      std::initializer_list<std::pair<std::string, std::string>> post = {})
    {
        responses.emplace_back(new FakeResponse);
        FakeRequest request("/servlet?p=" + page + "&q=" + action);
        request.login(identity).setPost(post);
        servlet.onRequest(&request, responses.back().get());
        return *responses.back();
    }
    // (wparam, lparam) of every 0x10007 received so far.
    std::vector<std::pair<unsigned, int>> changes(size_t atLeast = 0)
    {
        phone.waitForCount(atLeast, 2000);
        std::vector<std::pair<unsigned, int>> out;
        for (const BusMessage& m : phone.messages())
            if (m.id == 0x10007)
                out.emplace_back(m.wparam, m.lparam);
        return out;
    }

    std::string identity = "admin";
    TestRoot root;
    BusPeer phone;
    std::vector<std::unique_ptr<FakeResponse>> responses;
};
