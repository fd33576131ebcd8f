// SPDX-License-Identifier: MIT
// Runs the Khronos glTF Validator on each file named on the command line (.glb, or .gltf with
// its buffers and images beside it) and prints its findings. Exit status: 0 when no file has an
// error, 1 when one has, 2 when a file cannot be read or the validator is missing. Required as a
// module, it runs nothing and gives report_of, for validating many files in one process.
'use strict';

const fs = require('fs');
const path = require('path');

let validator;
try {
    validator = require('gltf-validator');
} catch (error) {
    console.error('gltf-validator is not installed: run "npm ci" in ' + __dirname);
    process.exit(2);
}

// The validator's report on file, its resources read from beside it.
function report_of(file) {
    const bytes = new Uint8Array(fs.readFileSync(file));
    const directory = path.dirname(file);
    return validator.validateBytes(bytes, {
        uri: path.basename(file),
        maxIssues: 0,
        externalResourceFunction: (uri) =>
            new Promise((resolve, reject) => {
                fs.readFile(path.join(directory, decodeURIComponent(uri)), (error, data) => {
                    if (error) reject(error.toString());
                    else resolve(new Uint8Array(data));
                });
            }),
    });
}

async function validate(file) {
    const issues = (await report_of(file)).issues;
    console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ` +
                `${issues.numInfos} infos, ${issues.numHints} hints`);
    const severities = ['error', 'warning', 'info', 'hint'];
    for (const message of issues.messages)
        console.log(`  ${severities[message.severity]} ${message.code} ${message.pointer || ''}: ` +
                    message.message);
    return issues.numErrors;
}

async function main() {
    const files = process.argv.slice(2);
    if (files.length === 0) {
        console.error('usage: node validate.js FILE.glb|FILE.gltf...');
        process.exit(2);
    }
    let errors = 0;
    for (const file of files) {
        try {
            errors += await validate(file);
        } catch (error) {
            console.error(`${file}: ${error}`);
            process.exit(2);
        }
    }
    process.exit(errors > 0 ? 1 : 0);
}

if (require.main === module) main();
else module.exports = {report_of};
