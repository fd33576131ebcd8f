// SPDX-License-Identifier: MIT
// tkmtool convert of a Milkshape rig that shares a class's joint count and nothing else: by
// default the class skeleton replaces its joints, and says how far they move; --own-skeleton keeps
// them where Milkshape shows them. Both routes are read back from the written TKM and measured
// against an independent evaluator of the file's joints.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/fixtures/ms3d_evaluator.h"
#include "tests/tools/tkmtool/tkmtool_run.h"
#include "viewer/mesh/tkm_reader.h"

namespace {

using ms3d_evaluator::distance;
using ms3d_evaluator::joint_places;
using ms3d_evaluator::vec3d;

struct tkm_releaser {
    void operator()(tkm_mesh *mesh) const { release_mesh(mesh); }
};

std::unique_ptr<tkm_mesh, tkm_releaser> read_back(const std::string &path) {
    std::unique_ptr<tkm_mesh, tkm_releaser> mesh(create_mesh());
    EXPECT_EQ(read_tkm(mesh.get(), path.c_str()), 0) << path;
    return mesh;
}

// The farthest a bone of mesh stands from the file's joint of the same index.
double farthest(const tkm_mesh &mesh, const std::vector<vec3d> &joints) {
    double largest = 0;
    for (uint16_t b = 0; b < mesh.num_bones && b < joints.size(); b++)
        largest = std::fmax(largest, distance(joints[b], &mesh.bones[b].world[12]));
    return largest;
}

size_t lines_containing(const std::string &text, const std::string &needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        n++;
    return n;
}

} // namespace

TEST_F(Tkmtool, AForeignRigOfAClassCountIsNamedAndOwnSkeletonKeepsItsJoints) {
    for (uint16_t count : {uint16_t{34}, uint16_t{40}, uint16_t{52}}) {
        SCOPED_TRACE(count);
        const ms3d_fixture::model rig = ms3d_evaluator::foreign_rig(count);
        const std::vector<vec3d> joints = joint_places(rig);
        const std::string in = dir / ("rig" + std::to_string(count) + ".ms3d");
        ASSERT_TRUE(write_fixture(in, ms3d_fixture::bytes(rig)));

        // The default: the class skeleton, as the game needs it, and one note that says so.
        const std::string replaced = dir / "replaced.tkm";
        run_result r = run({"convert", in, replaced});
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_EQ(lines_containing(r.err, "were replaced"), 1u) << r.err;
        EXPECT_NE(r.err.find("tkmtool convert --own-skeleton"), std::string::npos) << r.err;
        const size_t at = r.err.find("by up to ");
        ASSERT_NE(at, std::string::npos) << r.err;
        const double said = std::strtod(r.err.c_str() + at + 9, nullptr);
        const double moved = farthest(*read_back(replaced), joints);
        EXPECT_GT(moved, 0.1) << "the fixture's joints are not the class's";
        EXPECT_NEAR(said, moved, 1e-3 * moved) << r.err;

        // --own-skeleton: every bone where the file has its joint, in its own hierarchy.
        const std::string own = dir / "own.tkm";
        r = run({"convert", "--own-skeleton", in, own});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find("were replaced"), std::string::npos) << r.err;
        const auto mesh = read_back(own);
        ASSERT_EQ(mesh->num_bones, count);
        EXPECT_LT(farthest(*mesh, joints), 1e-4 * double(count)) << "model about count units";
        for (uint16_t b = 0; b < count; b++)
            EXPECT_EQ(mesh->bones[b].parent, b ? b - 1 : 0xFFFF) << b;
    }
}

TEST_F(Tkmtool, OwnSkeletonIsForMilkshapeModelsWithoutAnotherSkeleton) {
    const std::string in = dir / "rig.ms3d";
    ASSERT_TRUE(write_fixture(in, ms3d_fixture::bytes(ms3d_evaluator::foreign_rig(40))));
    struct refused {
        std::vector<std::string> args;
        const char *says;
    } cases[] = {
        {{"convert", "--own-skeleton", "--skeleton", gun, in, dir / "o.tkm"},
         "--own-skeleton keeps the model's joints"},
        {{"convert", "--own-skeleton", "--mesh", gun, in, dir / "o.tka"},
         "--own-skeleton keeps the model's joints"},
        {{"convert", "--own-skeleton", dir / "model.glb", dir / "o.tkm"},
         "--own-skeleton is for a Milkshape model"},
    };
    for (const refused &c : cases) {
        run_result r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "o.tkm"));
    }
}
