// Validates glTF and GLB files with the Khronos glTF validator. Prints each file's counts and
// every message; exits with 1 when any file has an error or a warning, 2 when a file cannot be
// read at all. Usage: node validate.js FILE...
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');

async function validate(file) {
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
        uri: path.basename(file),
        maxIssues: 0,
        writeTimestamp: false,
        externalResourceFunction: (uri) =>
            fs.promises.readFile(path.resolve(path.dirname(file), decodeURIComponent(uri)))
                .then((data) => new Uint8Array(data)),
    });
    const issues = report.issues;
    console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ` +
                `${issues.numInfos} infos, ${issues.numHints} hints`);
    for (const m of issues.messages) {
        const severity = ['error', 'warning', 'info', 'hint'][m.severity];
        console.log(`  ${severity} ${m.code} ${m.pointer || ''}: ${m.message}`);
    }
    return issues.numErrors + issues.numWarnings === 0;
}

(async () => {
    if (process.argv.length < 3) {
        console.error('usage: node validate.js FILE...');
        process.exit(2);
    }
    let clean = true;
    for (const file of process.argv.slice(2)) {
        try {
            clean = (await validate(file)) && clean;
        } catch (error) {
            console.error(`${file}: ${error}`);
            process.exit(2);
        }
    }
    process.exit(clean ? 0 : 1);
})();
