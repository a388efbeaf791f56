// The program's stored tables as the test programs see them: a small fixed set packed at first
// use, so that CInstall::Init runs its ordinary path in tests.
#include "tests/install/InstallFixture.h"

const FixtureTexts& DefaultFixtureTexts() {
    static const FixtureTexts texts = [] {
        FixtureTexts t;
        t.common = {Entry(86, "0415"), Entry(93, "Kreska Setup"), Entry(9, "Lipowa Labs")};
        t.supplementary = {Entry(154, "(none)")};
        t.language[0] = {Entry(0, "Kreska Polish Keyboard"),
                         Entry(123, "Administrator rights are required.")};
        t.language[1] = {Entry(0, "Klawiatura polska Kreska"),
                         Entry(123, "Wymagane są uprawnienia administratora.")};
        return t;
    }();
    return texts;
}

const InstallTables& ProgramInstallTables() {
    static FixtureTables fixture;
    static const int built = [] {
        std::string error;
        return fixture.Build(DefaultFixtureTexts(), error);
    }();
    static const InstallTables none;
    return built ? fixture.Tables() : none;
}
