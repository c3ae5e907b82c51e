// What each key set offers: the drop-downs, the parameters each function
// uses, and the attribute names of the key files.
#include "tests/dsskey/dsskeytest.h"

namespace {

std::string Join(ZRList<DssKey_Type>& types)
{
    std::string out;
    for (int t : types)
        out += (out.empty() ? "" : ",") + std::to_string(t);
    return out;
}

const char kKeys[] = "0,15,13,16,39,12,9,23,10,14,11,40,45,22,27,38,46,1,2,3,4,5,7,8,25,35,24,18,20,34,42,41,17,50,55,56,57,58,60,59,61";
const char kKeysNoBsft[] = "0,15,13,16,12,9,23,10,14,11,40,45,22,27,38,1,2,3,4,5,7,8,25,35,24,18,34,42,41,17,50,61";
const char kProgram[] = "0,13,9,23,40,45,22,27,28,30,38,46,2,5,7,8,32,47,33,43,44,34,50,51,52,55,61";
const char kProgramNoBsft[] = "0,13,9,23,40,45,22,27,28,30,38,2,5,7,8,32,47,33,43,34,50,51,52,61";

TEST_F(DsskeyTest, DropDownOfEveryKeySet)
{
    struct Case { int model; const char* bsft; const char* types; bool ok; };
    const Case kCases[] = {
        {DSSK_LINE, "1", kKeys, true},          {DSSK_MEMKEY, "1", kKeys, true},
        {DSSK_EXTKEY, "1", kKeys, true},        {DSSK_LINE, "0", kKeysNoBsft, true},
        {DSSK_MEMKEY, "0", kKeysNoBsft, true},  {DSSK_EXTKEY, "0", kKeysNoBsft, true},
        {DSSK_PROGRAMKEY, "1", kProgram, true}, {DSSK_PROGRAMKEY, "0", kProgramNoBsft, true},
        {4, "1", "", false},                    {-1, "1", "", false},
    };
    Dsskey_M7X_Model model;
    for (const Case& c : kCases) {
        Set("BSFTActive", c.bsft);
        ZRList<DssKey_Type> types;
        EXPECT_EQ(model.GetDKtypeList(&types, static_cast<DSSK_MODEL_TYPE>(c.model)), c.ok);
        EXPECT_EQ(Join(types), c.types) << "key set " << c.model << ", BSFTActive " << c.bsft;
    }
}

// Which of value, line, label and extension a function uses ("VLBE").
TEST_F(DsskeyTest, ParametersOfEachFunction)
{
    struct Case { int type; int model; int keyIndex; int phoneType; int expKind; const char* paras; };
    const Case kCases[] = {
        {1, DSSK_LINE, 1, 46, 0, "V.B."},  {2, DSSK_LINE, 1, 46, 0, "V.B."},
        {2, DSSK_PROGRAMKEY, 1, 46, 0, "..B."}, {9, DSSK_LINE, 1, 46, 0, "VLB."},
        {14, DSSK_LINE, 1, 46, 0, "VLB."}, {15, DSSK_LINE, 1, 46, 0, "VL.."},
        {15, DSSK_EXTKEY, 0, 46, 2, ".L.."}, {16, DSSK_LINE, 1, 46, 0, "VLBE"},
        {16, DSSK_LINE, 1, 21, 0, "VL.E"}, {16, DSSK_LINE, 1, 28, 0, "VLBE"},
        {22, DSSK_LINE, 1, 46, 0, ".LB."}, {54, DSSK_LINE, 1, 46, 0, ".LB."},
        {39, DSSK_LINE, 1, 46, 0, ".L.."}, {39, DSSK_EXTKEY, 0, 46, 2, ".LB."},
        {39, DSSK_EXTKEY, 0, 46, 1, ".L.."}, {55, DSSK_LINE, 1, 46, 0, "VLBE"},
        {5, DSSK_LINE, 1, 46, 0, "..B."},  {0, DSSK_LINE, 1, 46, 0, "...."},
        {13, DSSK_PROGRAMKEY, 4, 46, 0, "VLB."}, {13, DSSK_PROGRAMKEY, 5, 46, 0, "VL.."},
        {13, DSSK_PROGRAMKEY, -1, 46, 0, "VL.."}, {13, DSSK_MEMKEY, 1, 46, 0, "VL.."},
        {21, DSSK_LINE, 1, 46, 0, "V.B."}, {15, DSSK_MEMKEY, 1, 46, 0, ".L.."},
    };
    for (const Case& c : kCases) {
        Dsskey_M7X_Model model;
        model.phoneType = c.phoneType;
        model.extModuleKind = c.expKind;
        std::string paras;
        for (int p = 0; p < kDsskParaCount; ++p)
            paras += model.EnableParamer(static_cast<DSSK_PARA_TYPE>(p), static_cast<DSSK_MODEL_TYPE>(c.model),
                                         static_cast<DssKey_Type>(c.type), c.keyIndex) ? "VLBE"[p] : '.';
        EXPECT_EQ(paras, c.paras) << "type " << c.type << " on key set " << c.model << ", key " << c.keyIndex;
    }
}

TEST_F(DsskeyTest, SupportAttributeNamesAndDisplayNames)
{
    Dsskey_M7X_Model model;
    Set("BSFTActive", "1");
    EXPECT_TRUE(model.CheckSupportDKtype(DSSK_PROGRAMKEY, DT_NETDIRECTORY));
    EXPECT_FALSE(model.CheckSupportDKtype(DSSK_LINE, DT_NETDIRECTORY));
    Set("BSFTActive", "0");
    EXPECT_FALSE(model.CheckSupportDKtype(DSSK_PROGRAMKEY, DT_NETDIRECTORY));
    for (int type : {49, 62, -1, 21})
        EXPECT_FALSE(model.CheckSupportDKtype(DSSK_LINE, static_cast<DssKey_Type>(type))) << type;
    EXPECT_FALSE(model.CheckSupportParamer(DSSK_PARA_LABEL, DSSK_MEMKEY));
    EXPECT_FALSE(model.CheckSupportParamer(DSSK_PARA_VALUE, static_cast<DSSK_MODEL_TYPE>(4)));

    struct Name { int type; int para; const char* name; };
    const Name kNames[] = {{14, DSSK_PARA_EXT, "pickup_value"}, {13, DSSK_PARA_EXT, "extension"},
                           {47, DSSK_PARA_LINE, "xml_phonebook"}, {28, DSSK_PARA_LINE, "history_type"},
                           {13, DSSK_PARA_LINE, "line"}, {13, DSSK_PARA_VALUE, nullptr}};
    for (const Name& n : kNames) {
        std::string name = "untouched";
        EXPECT_EQ(model.GetXMLAttrName(static_cast<DssKey_Type>(n.type), static_cast<DSSK_PARA_TYPE>(n.para), &name),
                  n.name != nullptr);
        EXPECT_EQ(name, n.name ? n.name : "untouched");
    }
    EXPECT_STREQ(DsskeyTypeName(40, DSSK_PROGRAMKEY), "PTT");
    EXPECT_STREQ(DsskeyTypeName(40, DSSK_LINE), "Prefix");
    EXPECT_STREQ(DsskeyTypeName(62, DSSK_LINE), "N/A");
    EXPECT_STREQ(DsskeyTypeName(61, DSSK_LINE), "Favorites");
}

}  // namespace
