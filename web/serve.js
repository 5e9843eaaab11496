// Serves the built page on this machine only, for trying it out:
//   node serve.js [SITE-DIR] [PORT]   (defaults: ../build-web/site, 8022; 0 picks a free port)
'use strict';
const http = require('node:http');
const fs = require('node:fs');
const path = require('node:path');

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm', '.webmanifest': 'application/manifest+json', '.svg': 'image/svg+xml',
  '.png': 'image/png',
};

function serve(root, port, host = '127.0.0.1') {
  root = path.resolve(root);
  const server = http.createServer((request, response) => {
    const wanted = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    let file = path.normalize(path.join(root, wanted));
    if (!file.startsWith(root)) {
      response.writeHead(403).end();
      return;
    }
    if (wanted.endsWith('/')) file = path.join(file, 'index.html');
    fs.readFile(file, (error, bytes) => {
      if (error) {
        response.writeHead(404, { 'content-type': 'text/plain' }).end('not found');
        return;
      }
      response.writeHead(200, { 'content-type': types[path.extname(file)] ?? 'application/octet-stream', 'cache-control': 'no-cache' });
      response.end(bytes);
    });
  });
  return new Promise((resolve) => server.listen(port, host, () => resolve(server)));
}
module.exports = { serve };

if (require.main === module) {
  const root = process.argv[2] ?? path.join(__dirname, '..', 'build-web', 'site');
  const port = Number(process.argv[3] ?? 8022);
  serve(root, port).then((server) => {
    console.log(`Korvale's page: http://127.0.0.1:${server.address().port}/  (Ctrl+C stops it)`);
  });
}
