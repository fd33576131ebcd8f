// SPDX-License-Identifier: MIT
// node validate_all.js DIR: runs the Khronos glTF Validator (the package pinned in
// tools/gltf-validator) on every .glb and .gltf file of DIR in this one process, one after
// another, and prints how many files it validated and how many had errors: the anchor that
// bench_check.sh times tkmtool check against, so that Node's start-up counts once, as tkmtool's
// does. Exit status: 0 when no file has an error, 1 when one has, 2 when the validator is missing
// (tools/gltf-validator: make validator) or a file cannot be read.
'use strict';

const fs = require('fs');
const path = require('path');

// The validator as tools/gltf-validator/validate.js calls it, with the package installed there.
const {report_of} = require(path.join(__dirname, '..', '..', 'tools', 'gltf-validator',
                                      'validate.js'));

async function main() {
    if (process.argv.length !== 3) {
        console.error('usage: node validate_all.js DIR');
        process.exit(2);
    }
    const directory = process.argv[2];
    const files = fs.readdirSync(directory)
                      .filter((name) => /\.(glb|gltf)$/i.test(name))
                      .sort()
                      .map((name) => path.join(directory, name));
    let with_errors = 0;
    for (const file of files) {
        try {
            if ((await report_of(file)).issues.numErrors > 0) with_errors++;
        } catch (error) {
            console.error(`${file}: ${error}`);
            process.exit(2);
        }
    }
    console.log(`${files.length} files validated, ${with_errors} with errors`);
    process.exit(with_errors > 0 ? 1 : 0);
}

main();
