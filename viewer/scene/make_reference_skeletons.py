#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Lays out the built-in reference skeletons and prints their rows as C++ table data.

The game's own bind poses are known only for a few rows (each table's root, and some rows of the
52-bone officer). Every other row is laid out here as a T-pose humanoid of the class, standing on
the floor (y up), facing +z, with its left side towards +x:

  * each joint gets a world position from the body proportions below (limbs of a class scaled
    from the adult male, the child with a larger head);
  * a bone's x axis points at its first child (or along a given direction: feet point down so
    that the known toe rows land on the floor), its z axis is the given hint made perpendicular;
  * rows fixed by the game are kept as they are and placed by forward kinematics, so that their
    children are laid out in the frames they really have;
  * a row stores the bone relative to its parent: the parent's inverse world rotation applied to
    the joint's offset, and to the bone's world rotation turned into an x y z w quaternion in the
    viewer's convention (quat_to_mat4 of the quaternion gives the rotation).

Run it and paste its output into reference_skeletons.cpp.
"""
import math

# ---- matrices (3x3, lists of columns) and quaternions in the viewer's convention


def quat_to_mat3(q):
    x, y, z, w = q
    return [
        [1 - (2 * z * z + 2 * y * y), 2 * x * y - 2 * w * z, 2 * w * y + 2 * x * z],
        [2 * x * y + 2 * w * z, 1 - (2 * z * z + 2 * x * x), 2 * y * z - 2 * w * x],
        [2 * x * z - 2 * w * y, 2 * y * z + 2 * w * x, 1 - (2 * x * x + 2 * y * y)],
    ]


def element(m, r, c):
    return m[c][r]


def mat3_to_quat(m):
    # Textbook quaternion of the rotation, then its conjugate: the viewer's quat_to_mat4 builds
    # the textbook matrix of the conjugate.
    tr = element(m, 0, 0) + element(m, 1, 1) + element(m, 2, 2)
    if tr > 0:
        s = math.sqrt(tr + 1.0) * 2
        w = 0.25 * s
        x = (element(m, 2, 1) - element(m, 1, 2)) / s
        y = (element(m, 0, 2) - element(m, 2, 0)) / s
        z = (element(m, 1, 0) - element(m, 0, 1)) / s
    elif element(m, 0, 0) > element(m, 1, 1) and element(m, 0, 0) > element(m, 2, 2):
        s = math.sqrt(1.0 + element(m, 0, 0) - element(m, 1, 1) - element(m, 2, 2)) * 2
        w = (element(m, 2, 1) - element(m, 1, 2)) / s
        x = 0.25 * s
        y = (element(m, 0, 1) + element(m, 1, 0)) / s
        z = (element(m, 0, 2) + element(m, 2, 0)) / s
    elif element(m, 1, 1) > element(m, 2, 2):
        s = math.sqrt(1.0 + element(m, 1, 1) - element(m, 0, 0) - element(m, 2, 2)) * 2
        w = (element(m, 0, 2) - element(m, 2, 0)) / s
        x = (element(m, 0, 1) + element(m, 1, 0)) / s
        y = 0.25 * s
        z = (element(m, 1, 2) + element(m, 2, 1)) / s
    else:
        s = math.sqrt(1.0 + element(m, 2, 2) - element(m, 0, 0) - element(m, 1, 1)) * 2
        w = (element(m, 1, 0) - element(m, 0, 1)) / s
        x = (element(m, 0, 2) + element(m, 2, 0)) / s
        y = (element(m, 1, 2) + element(m, 2, 1)) / s
        z = 0.25 * s
    if w < 0:
        x, y, z, w = -x, -y, -z, -w
    return (-x, -y, -z, w)


def mul(a, b):
    return [[sum(element(a, r, k) * b[c][k] for k in range(3)) for r in range(3)] for c in range(3)]


def transpose(m):
    return [[m[r][c] for r in range(3)] for c in range(3)]


def apply(m, v):
    return [sum(m[c][r] * v[c] for c in range(3)) for r in range(3)]


def sub(a, b):
    return [a[i] - b[i] for i in range(3)]


def add(a, b):
    return [a[i] + b[i] for i in range(3)]


def dot(a, b):
    return sum(a[i] * b[i] for i in range(3))


def cross(a, b):
    return [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]]


def normal(v):
    n = math.sqrt(dot(v, v))
    return [c / n for c in v]


def frame(direction, hint):
    x = normal(direction)
    if abs(dot(x, normal(hint))) > 0.8:
        hint = [0.0, 1.0, 0.0]
    z = normal(sub(hint, [dot(hint, x) * c for c in x]))
    y = cross(z, x)
    return [x, y, z]



def literal(v):
    # Rounding residue of the layout (below a billionth of a unit) is written as 0.
    text = f"{0.0 if abs(v) < 1e-9 else v:.8g}".replace("-0", "0") if abs(v) < 1e-9 else f"{v:.8g}"
    if all(ch.isdigit() or ch == "-" for ch in text):
        text += ".0"
    return text + "f"


def literals(values):
    return ", ".join(literal(v) for v in values)

# ---- rows the game fixes (position, rotation x y z w), written exactly as the game has them

ADULT_ROOT = ("0.0064568203f, 37.327816f, -0.84585494f", "-0.49999407f, -0.49999693f, 0.5000315f, -0.49997744f")
CHILD_ROOT = ("0.007259307f, 23.764648f, -0.8451588f", ADULT_ROOT[1])
FEMALE_ROOT = ("0.0f, 0.0f, -8.271806e-25f", "0.0f, 0.0f, 0.0f, 1.0f")
OFFICER_SPINE = ("2.8129585f, -0.0039968863f, 5.5562814e-06f", "2.0905034e-06f, 6.8088036e-07f, 0.025778987f, 0.99966764f")
OFFICER_HAND = ("10.43666f, -6.1485975e-06f, 8.161743e-06f", "0.9965632f, 0.08276422f, -8.25883e-05f, 0.003443346f")
OFFICER_TOE = ("4.4679675f, 3.388316f, 1.9978086e-06f", "1.2683313e-07f, -2.0408474e-07f, -0.70710677f, 0.70710677f")


def parse(text):
    return [float(v.rstrip("f")) for v in text.split(",")]


# ---- body layouts: joint -> (world position, optional bone direction)

SAGITTAL = [-1.0, 0.0, 0.0]  # z hint of spine, head and leg bones: they bend about the body's side
ARM = [0.0, 0.0, 1.0]  # z hint of arm and finger bones: forwards


def mirror(p):
    return [-p[0], p[1], p[2]]


def hand_fingers(hand, offsets):
    return [add(hand, o) for o in offsets]


class Layout:
    def __init__(self, parents):
        self.parents = parents
        self.points = {}
        self.directions = {}
        self.hints = {}
        self.fixed = {}

    def put(self, i, p, hint, direction=None):
        self.points[i] = p
        self.hints[i] = hint
        if direction:
            self.directions[i] = direction

    def side(self, first, points, hint, directions=None, mirrored=False):
        for k, p in enumerate(points):
            d = directions.get(k) if directions else None
            if mirrored:
                p = mirror(p)
                d = mirror(d) if d else None
            self.put(first + k, p, hint, d)

    def solve(self):
        n = len(self.parents)
        rot, pos, rows = [None] * n, [None] * n, [None] * n
        children = {i: [c for c in range(n) if self.parents[c] == i] for i in range(n)}
        for i in range(n):
            p = self.parents[i]
            if i in self.fixed:
                lp, lq = self.fixed[i]
                lr = quat_to_mat3(parse(lq))
                if p is None:
                    rot[i], pos[i] = lr, parse(lp)
                else:
                    rot[i] = mul(rot[p], lr)
                    pos[i] = add(pos[p], apply(rot[p], parse(lp)))
                rows[i] = (lp, lq)
                continue
            pos[i] = self.points[i]
            if i in self.directions:
                d = self.directions[i]
            elif children[i]:
                d = sub(self.points[children[i][0]], pos[i])
            else:
                d = sub(pos[i], pos[p])
            rot[i] = frame(d, self.hints[i])
            if p is None:
                lpos, lrot = pos[i], rot[i]
            else:
                inv = transpose(rot[p])
                lpos, lrot = apply(inv, sub(pos[i], pos[p])), mul(inv, rot[i])
            q = mat3_to_quat(lrot)
            rows[i] = (literals(lpos), literals(q))
        return rows


def officer():
    parents = [None, 0, 1, 2, 3, 4, 4, 6, 7, 8, 9, 10, 11, 9, 13, 14, 9, 16, 17, 9, 19, 20, 9,
               22, 23, 4, 25, 26, 27, 28, 29, 30, 28, 32, 33, 28, 35, 36, 28, 38, 39, 28, 41, 42,
               0, 44, 45, 46, 0, 48, 49, 50]
    s = Layout(parents)
    s.fixed = {0: ADULT_ROOT, 1: OFFICER_SPINE, 9: OFFICER_HAND, 47: OFFICER_TOE}
    for i, y in ((2, 45.0), (3, 50.0), (4, 55.0), (5, 61.5)):
        s.put(i, [0.0, y, -0.6 if i < 5 else -0.3], SAGITTAL)
    hand = [28.84, 59.0, -0.9]
    fingers = [[1.0, -0.5, 1.3], [2.3, -0.9, 2.3], [3.3, -1.1, 2.9],
               [3.7, 0.0, 0.9], [5.4, 0.0, 0.95], [6.5, 0.0, 1.0],
               [3.8, 0.0, 0.3], [5.7, 0.0, 0.3], [6.9, 0.0, 0.3],
               [3.7, 0.0, -0.3], [5.4, 0.0, -0.32], [6.5, 0.0, -0.34],
               [3.4, 0.0, -0.9], [4.7, 0.0, -0.95], [5.6, 0.0, -1.0]]
    arm = [[1.2, 58.8, -0.3], [6.8, 59.0, -0.9], [18.4, 59.0, -0.9]]
    s.side(6, arm, ARM, {2: [1.0, 0.0, 0.0]})
    s.side(10, hand_fingers(hand, fingers), ARM)
    # The right hand mirrors the left one, so its position is laid out as a point.
    s.side(25, arm + [hand], ARM, {2: [1.0, 0.0, 0.0], 3: [1.0, 0.0, 0.0]}, mirrored=True)
    s.side(29, hand_fingers(hand, fingers), ARM, mirrored=True)
    leg = [[3.7, 35.4, -0.85], [3.8, 20.0, -0.6], [3.9, 4.9, -1.2]]
    s.side(44, leg, SAGITTAL, {2: [0.0, -1.0, 0.0]})
    s.side(48, leg, SAGITTAL, {2: [0.0, -1.0, 0.0]}, mirrored=True)
    s.fixed[51] = OFFICER_TOE
    return s.solve()


def male(officer_rows):
    parents = [None, 0, 1, 2, 3, 4, 5, 6, 7, 4, 9, 10, 11, 12, 13, 12, 15, 12, 17, 4, 19, 20, 21,
               22, 23, 22, 25, 22, 27, 0, 29, 30, 31, 0, 33, 34, 35]
    s = Layout(parents)
    s.fixed = {0: officer_rows[0], 1: officer_rows[1]}
    for k in range(8):
        s.fixed[29 + k] = officer_rows[44 + k]
    for i, p in ((2, [0.0, 45.0, -0.6]), (3, [0.0, 50.0, -0.6]), (4, [0.0, 55.0, -0.6]),
                 (5, [0.0, 59.8, -0.3]), (6, [0.0, 62.3, 0.0]), (7, [0.0, 66.0, 0.3]),
                 (8, [0.0, 69.5, 0.2])):
        s.put(i, p, SAGITTAL)
    hand = [28.84, 59.0, -0.9]
    arm = [[1.2, 58.8, -0.3], [6.8, 59.0, -0.9], [18.4, 59.0, -0.9], hand]
    fingers = [[1.0, -0.5, 1.3], [2.3, -0.9, 2.3], [3.7, 0.0, 0.6], [5.6, 0.0, 0.65],
               [3.6, 0.0, -0.6], [5.4, 0.0, -0.65]]
    along = {3: [1.0, 0.0, 0.0]}
    s.side(9, arm + hand_fingers(hand, fingers), ARM, along)
    s.side(19, arm + hand_fingers(hand, fingers), ARM, along, mirrored=True)
    return s.solve()


def child():
    parents = [None, 0, 1, 2, 3, 4, 5, 6, 7, 5, 9, 10, 4, 12, 13, 14, 15, 16, 15, 18, 15, 20, 4,
               22, 23, 24, 25, 26, 25, 28, 25, 30, 0, 32, 33, 34, 0, 36, 37, 38]
    s = Layout(parents)
    s.fixed = {0: CHILD_ROOT}
    for i, p in ((1, [0.0, 25.6, -0.85]), (2, [0.0, 28.6, -0.7]), (3, [0.0, 31.6, -0.6]),
                 (4, [0.0, 34.6, -0.6]), (5, [0.0, 37.4, -0.5]), (6, [0.0, 39.2, -0.3]),
                 (7, [0.0, 42.5, 0.0]), (8, [0.0, 45.5, -0.1])):
        s.put(i, p, SAGITTAL)
    # A ponytail hangs from the nape.
    for i, p in ((9, [0.0, 40.5, -2.6]), (10, [0.0, 38.0, -3.4]), (11, [0.0, 35.5, -3.6])):
        s.put(i, p, SAGITTAL)
    hand = [17.8, 36.7, -0.8]
    arm = [[0.8, 36.6, -0.4], [4.3, 36.7, -0.8], [11.3, 36.7, -0.8], hand]
    fingers = [[0.7, -0.3, 0.9], [1.5, -0.6, 1.5], [2.4, 0.0, 0.4], [3.6, 0.0, 0.42],
               [2.3, 0.0, -0.4], [3.5, 0.0, -0.42]]
    along = {3: [1.0, 0.0, 0.0]}
    s.side(12, arm + hand_fingers(hand, fingers), ARM, along)
    s.side(22, arm + hand_fingers(hand, fingers), ARM, along, mirrored=True)
    leg = [[2.4, 22.4, -0.85], [2.45, 12.6, -0.65], [2.5, 3.1, -1.0], [2.5, 0.3, 1.2]]
    directions = {2: [0.0, -1.0, 0.0], 3: [0.0, 0.0, 1.0]}
    s.side(32, leg, SAGITTAL, directions)
    s.side(36, leg, SAGITTAL, directions, mirrored=True)
    return s.solve()


def female():
    parents = [None, 0, 1, 2, 3, 4, 4, 6, 7, 8, 9, 10, 9, 12, 9, 14, 4, 16, 17, 18, 19, 20, 19,
               22, 19, 24, 0, 26, 27, 28, 0, 30, 31, 32]
    s = Layout(parents)
    s.fixed = {0: FEMALE_ROOT}
    for i, p in ((1, [0.0, 35.0, -0.8]), (2, [0.0, 37.6, -0.8]), (3, [0.0, 43.0, -0.6]),
                 (4, [0.0, 48.5, -0.4]), (5, [0.0, 55.6, -0.3])):
        s.put(i, p, SAGITTAL)
    hand = [26.4, 54.8, -0.9]
    arm = [[1.1, 54.6, -0.3], [6.2, 54.8, -0.9], [16.8, 54.8, -0.9], hand]
    fingers = [[0.9, -0.45, 1.2], [2.1, -0.8, 2.1], [3.4, 0.0, 0.55], [5.1, 0.0, 0.6],
               [3.3, 0.0, -0.55], [4.9, 0.0, -0.6]]
    along = {3: [1.0, 0.0, 0.0]}
    s.side(6, arm + hand_fingers(hand, fingers), ARM, along)
    s.side(16, arm + hand_fingers(hand, fingers), ARM, along, mirrored=True)
    leg = [[3.4, 33.0, -0.85], [3.5, 18.6, -0.6], [3.6, 4.5, -1.1], [3.6, 0.4, 2.3]]
    directions = {2: [0.0, -1.0, 0.0], 3: [0.0, 0.0, 1.0]}
    s.side(26, leg, SAGITTAL, directions)
    s.side(30, leg, SAGITTAL, directions, mirrored=True)
    return s.solve()


def emit(name, parents, rows):
    print(f"constexpr reference_row {name}[] = {{")
    for i, (p, q) in enumerate(rows):
        parent = "no_parent" if parents[i] is None else str(parents[i])
        print(f"    {{{parent}, {{{p}}}, {{{q}}}}}, // {i}")
    print("};\n")


if __name__ == "__main__":
    o = officer()
    tables = (("officer_rows", o, 52), ("child_rows", child(), 40), ("male_rows", male(o), 37),
              ("female_rows", female(), 34))
    for name, rows, count in tables:
        assert len(rows) == count
    # The parents again, for the comments of the table.
    P = {
        52: [None, 0, 1, 2, 3, 4, 4, 6, 7, 8, 9, 10, 11, 9, 13, 14, 9, 16, 17, 9, 19, 20, 9, 22, 23,
             4, 25, 26, 27, 28, 29, 30, 28, 32, 33, 28, 35, 36, 28, 38, 39, 28, 41, 42, 0, 44, 45,
             46, 0, 48, 49, 50],
        40: [None, 0, 1, 2, 3, 4, 5, 6, 7, 5, 9, 10, 4, 12, 13, 14, 15, 16, 15, 18, 15, 20, 4, 22,
             23, 24, 25, 26, 25, 28, 25, 30, 0, 32, 33, 34, 0, 36, 37, 38],
        37: [None, 0, 1, 2, 3, 4, 5, 6, 7, 4, 9, 10, 11, 12, 13, 12, 15, 12, 17, 4, 19, 20, 21, 22,
             23, 22, 25, 22, 27, 0, 29, 30, 31, 0, 33, 34, 35],
        34: [None, 0, 1, 2, 3, 4, 4, 6, 7, 8, 9, 10, 9, 12, 9, 14, 4, 16, 17, 18, 19, 20, 19, 22,
             19, 24, 0, 26, 27, 28, 0, 30, 31, 32],
    }
    for name, rows, count in tables:
        emit(name, P[count], rows)
