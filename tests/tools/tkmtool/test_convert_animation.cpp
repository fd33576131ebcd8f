// SPDX-License-Identifier: MIT
// tkmtool convert IN OUT.tka: an animation is built for the model's bones alone; no mesh is built
// from the model, so geometry no TKM could hold does not keep its animation from converting.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/fixtures/ms3d_builder.h"
#include "tests/tools/tkmtool/tkmtool_run.h"

namespace {

// A Milkshape chain of three joints whose middle one turns a quarter turn about z over 1.5 s;
// spoil() may change the rest of the model.
std::string keyed_chain(const temp_dir &dir, const char *name,
                        void (*spoil)(ms3d_fixture::model &) = nullptr) {
    ms3d_fixture::model m = ms3d_fixture::chain_model(3);
    m.joints[1].rotation_keys = {{0, {0, 0, 0}}, {1.5f, {0, 0, 1.5707964f}}};
    if (spoil) spoil(m);
    // Each in a folder of its own, all named arm: a TKA carries its animation's name, the stem.
    const std::filesystem::path folder = std::filesystem::path(std::string(dir / "")) / name;
    std::filesystem::create_directories(folder);
    const std::string path = folder / "arm.ms3d";
    write_fixture(path, ms3d_fixture::bytes(m));
    return path;
}

TEST_F(Tkmtool, ConvertToTkaBuildsNoMesh) {
    const std::string sound = keyed_chain(dir, "sound");
    struct spoilt {
        const char *what;
        const char *name; // the model's folder
        void (*spoil)(ms3d_fixture::model &);
        const char *mesh_message; // what converting it to TKM says
    } cases[] = {
        {"a group without material", "nomaterial",
         [](ms3d_fixture::model &m) { m.groups[0].material = -1; }, "has no material assigned"},
        {"vertices on no bone", "unbound",
         [](ms3d_fixture::model &m) {
             for (auto &vertex : m.vertices)
                 vertex.bone = -1;
         },
         "no vertices assigned to bones"},
    };
    const std::string expected_tka = dir / "arm.tka";
    ASSERT_EQ(run({"convert", sound, expected_tka}).status, 0);
    for (const spoilt &c : cases) {
        const std::string model = keyed_chain(dir, c.name, c.spoil);
        // The mesh step sees the spoilt geometry...
        run_result r = run({"convert", model, dir / "out.tkm"});
        EXPECT_NE(r.err.find(c.mesh_message), std::string::npos) << c.what << ": " << r.err;
        // ...which converting the animation never reaches: the bones give the same TKA.
        const std::string tka = dir / "out.tka";
        r = run({"convert", model, tka});
        EXPECT_EQ(r.status, 0) << c.what << ": " << r.err;
        EXPECT_EQ(r.err.find(c.mesh_message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_EQ(read_all(tka), read_all(expected_tka)) << c.what;
    }
}

} // namespace
