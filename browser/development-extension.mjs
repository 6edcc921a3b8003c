// Makes a development copy of the velix extension: the same files, but the
// content script also runs on http://localhost and http://127.0.0.1, so a
// page served on this computer can call velix. The installed extension never
// serves plain http; only the tests and developers load this copy.
//
//   node browser/development-extension.mjs DIR
import { constants, copyFileSync, mkdirSync, readdirSync, readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const EXTENSION = path.join(path.dirname(fileURLToPath(import.meta.url)), 'extension');
const DEVELOPMENT_MATCHES = ['http://localhost/*', 'http://127.0.0.1/*'];

export function makeDevelopmentExtension(dir) {
  mkdirSync(dir, { recursive: true });
  for (const name of readdirSync(EXTENSION))
    if (name !== 'manifest.json') copyFileSync(path.join(EXTENSION, name), path.join(dir, name), constants.COPYFILE_EXCL);
  const manifest = JSON.parse(readFileSync(path.join(EXTENSION, 'manifest.json'), 'utf8'));
  manifest.name += ' (development)';
  for (const script of manifest.content_scripts) script.matches.push(...DEVELOPMENT_MATCHES);
  writeFileSync(path.join(dir, 'manifest.json'), `${JSON.stringify(manifest, null, 2)}\n`, { flag: 'wx' });
  return dir;
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  if (process.argv.length !== 3) {
    console.error('usage: node development-extension.mjs DIR');
    process.exit(2);
  }
  console.log(makeDevelopmentExtension(path.resolve(process.argv[2])));
}
