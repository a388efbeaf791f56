// The system scan-code map through the registry, with key 5 pointed at a test key under HKLM.
#include <cstdlib>

#include "install/InstallWin32.h"
#include "tests/engine/EngineFixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Map(uint32_t count, const std::vector<std::pair<uint16_t, uint16_t>>& entries) {
    Bytes out(12, 0);
    out[8] = static_cast<uint8_t>(count);
    out[9] = static_cast<uint8_t>(count >> 8);
    for (const auto& e : entries) {
        out.push_back(static_cast<uint8_t>(e.first));
        out.push_back(static_cast<uint8_t>(e.first >> 8));
        out.push_back(static_cast<uint8_t>(e.second));
        out.push_back(static_cast<uint8_t>(e.second >> 8));
    }
    out.insert(out.end(), 4, 0);
    return out;
}

class ScancodeMapTest : public EngineTest {
protected:
    void AddTexts(std::vector<StringEntry>& common) override {
        common.push_back(Entry(5, U8(machineRoot)));
        common.push_back(Entry(6, "Scancode Map"));
    }
    void Store(const Bytes& map) {
        HKEY key = MachineKey();
        ASSERT_NE(key, nullptr);
        ASSERT_EQ(RegSetValueExW(key, W(u"Scancode Map"), 0, REG_BINARY, map.data(),
                                 static_cast<DWORD>(map.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    // The stored map; `present` false when there is no key or no value.
    Bytes Stored(bool& present) {
        present = false;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(machineRoot), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return {};
        Bytes data(4096);
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        present = RegQueryValueExW(key, W(u"Scancode Map"), nullptr, &type, data.data(), &size) ==
                  ERROR_SUCCESS;
        RegCloseKey(key);
        data.resize(present ? size : 0);
        return data;
    }
    bool KeyExists() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(machineRoot), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
};

TEST_F(ScancodeMapTest, NoMapAndNoRemapWritesNothing) {
    install.ReadScancodeMap();
    EXPECT_EQ(install.ScancodeMapSeen, 0);
    EXPECT_TRUE(install.WriteScancodeMap());
    EXPECT_FALSE(KeyExists());  // the key is opened, never created

    HKEY key = MachineKey();
    RegCloseKey(key);
    EXPECT_TRUE(install.WriteScancodeMap());
    bool present = true;
    Stored(present);
    EXPECT_FALSE(present);
}

TEST_F(ScancodeMapTest, RemapWithoutTheKeyFails) {
    install.FindKey(0x3A)->scanTarget = 0x1D;
    EXPECT_EQ(install.WriteScancodeMap(), 0);
    EXPECT_FALSE(KeyExists());
}

TEST_F(ScancodeMapTest, ReadThenWriteKeepsKnownRemapsAndDropsTheRest) {
    // Caps Lock to Left Ctrl, right Windows key off, A to itself, an unlisted key remapped.
    Store(Map(5, {{0x1D, 0x3A}, {0, 0xE05C}, {0x1E, 0x1E}, {0x1D, 0x54}}));
    install.ReadScancodeMap();
    EXPECT_EQ(install.ScancodeMapSeen, 1);
    EXPECT_EQ(install.FindKey(0x3A)->scanTarget, 0x1D);
    EXPECT_EQ(install.FindKey(0xE05C)->scanTarget, kScanTargetOff);
    EXPECT_EQ(install.FindKey(0x1E)->scanTarget, 0);

    ASSERT_TRUE(install.WriteScancodeMap());
    bool present = false;
    const Bytes written = Stored(present);
    ASSERT_TRUE(present);
    EXPECT_EQ(written, Map(3, {{0x1D, 0x3A}, {0, 0xE05C}}));
}

TEST_F(ScancodeMapTest, SeenMapThatLosesEveryEntryIsReplacedByAnEmptyOne) {
    Store(Map(3, {{0x1E, 0x1E}, {0x1D, 0x54}}));
    install.ReadScancodeMap();
    EXPECT_EQ(install.ScancodeMapSeen, 1);
    ASSERT_TRUE(install.WriteScancodeMap());
    bool present = false;
    const Bytes written = Stored(present);
    ASSERT_TRUE(present);
    EXPECT_EQ(written, Map(1, {}));
    EXPECT_EQ(written.size(), 16u);
}

TEST_F(ScancodeMapTest, MalformedStoredMapIsSeenButAppliesNothing) {
    Bytes bad = Map(9, {{0x1D, 0x3A}});
    Store(bad);
    install.ReadScancodeMap();
    EXPECT_EQ(install.ScancodeMapSeen, 1);
    EXPECT_EQ(install.FindKey(0x3A)->scanTarget, 0);
}

}  // namespace
