// A phone root with the factory key files, a phone on the bus that is not in
// a call and reports two expansion modules of 38 keys, and readers for the
// key files and their INI mirrors.
#pragma once

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <string>

#include "dsskey/DssKeyModel.h"
#include "platform/configparser.h"
#include "platform/msgids.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "tests/support/buspeer.h"
#include "tests/support/testroot.h"

class DsskeyTest : public ::testing::Test {
public:
    DsskeyTest() : phone({"app_vpPhone"})
    {
        for (const char* file : {"linekey", "memkey", "programkey", "expkey0", "expkey1"})
            root.write(std::string("/config/data/") + file + ".xml",
                       Source(std::string("/factory/seed/config/data/") + file + ".xml"));
        root.write("/phone/factory/data/programkey.xml",
                   Source("/factory/seed/phone/factory/data/programkey.xml"));
        root.write("/config/user/.keep", "");
        phone.reply(kMsgAskTalking, 1);
        phone.reply(kMsgKeyLayout, 2 | 1 << 4);
    }

    static std::string Source(const std::string& path)
    {
        std::string text;
        readWholeFile(std::string(PHONEWEB_SOURCE_DIR) + path, text);
        return text;
    }
    static void Set(const char* field, const char* value) { configParser_SetConfigString(field, value); }

    // Attribute of key n (1-based item) of a key file: "type", or an
    // attribute of its itemdata.
    std::string Xml(const char* file, int n, const char* name) const
    {
        pugi::xml_document doc;
        doc.load_file(root.real(std::string("/config/data/") + file).c_str());
        pugi::xml_node item = doc.first_child().child("item");
        for (int i = 1; i < n && item; ++i)
            item = item.next_sibling("item");
        return std::string(name) == "type" ? item.attribute("type").value()
                                           : item.child("itemdata").attribute(name).value();
    }
    std::string Ini(const char* file, const std::string& section, const char* key) const
    {
        return etlGetProfileString(file, section.c_str(), key, "<none>");
    }
    // The data of the extended key-change broadcasts, as key numbers.
    std::string ChangedKeys()
    {
        std::string keys;
        for (const BusMessage& m : phone.messages())
            if (m.id == kMsgConfigChanged && m.hasData)
                for (char c : m.data.substr(0, m.data.find('\0')))
                    keys += (keys.empty() ? "" : ",") + std::to_string(static_cast<unsigned char>(c));
        return keys;
    }

    TestRoot root;
    BusPeer phone;
};

// A key as a page posts it.
inline DssKey Posted(int keyIndex, int dktype, const char* value = "", const char* line = "0",
                     const char* label = "", const char* ext = "")
{
    DssKey key;
    key.keyIndex = keyIndex;
    key.dktype = dktype;
    const char* texts[] = {value, line, label, ext};
    for (int p = 0; p < kDsskParaCount; ++p) {
        key.attr[p].value = texts[p];
        key.attr[p].enabled = 1;
    }
    return key;
}
