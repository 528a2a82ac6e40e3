// The stamping page of `stampctl serve`, and a worked example for integrators.
//
// Everything here goes through the service's public HTTP API under /v1, with the token in an
// `Authorization: Bearer …` header on every request:
//   GET  /v1/status          the machine's state (answered from the service's last poll)
//   GET  /v1/events          Server-Sent Events: connection, doors, faults, photos, stamp progress
//   POST /v1/photos          take a photo; answers its id and its size
//   GET  /v1/photos/{id}     that photo's cut picture, as JPEG
//   GET  /v1/photos/{id}/check?x=…&y=…   may that pixel be stamped, and is the paper blank there
//   POST /v1/stamps          stamp with a seal at a pixel of a named photo
// Each JSON answer is {"command", "code", "message", "data", "detail"}: code 0 is success, any
// other the library's result code (or the service's refusal) with its message and, where the
// service found the fault itself, a detail; the page shows them as they are.
//
// A page of an approval system on another origin does the same with the service's address in
// API_BASE, and that origin in the service's allow-list.
'use strict';

const API_BASE = '';
const TOKEN_KEY = 'stampctl.token';

const ZOOM_MIN = 0.1;
const ZOOM_MAX = 4;
const ZOOM_STEP = 1.25;
const EVENT_RETRY_MS = 3000;
const EVENT_LIST_LENGTH = 50;

// ---------------------------------------------------------------------------------------------
// The API: one helper for JSON requests, one for the photo's bytes, one for the event stream.

// The token of this browser tab: asked once, kept in sessionStorage, so it dies with the tab
// and never reaches the disk as a cookie would.
function token() {
  return sessionStorage.getItem(TOKEN_KEY) || '';
}

function authHeaders(extra) {
  return Object.assign({ Authorization: 'Bearer ' + token() }, extra || {});
}

// A failed request: the service's code and message, and the HTTP status it came with.
class ApiError extends Error {
  constructor(status, code, message) {
    super(message);
    this.status = status;
    this.code = code;
  }
}

// Sends a request and returns the answer's JSON object; throws ApiError for any answer whose
// code is not 0. A 401 means the token is missing, wrong or revoked: the page asks again.
async function api(method, path, body) {
  const options = { method, headers: authHeaders() };
  if (body !== undefined) {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(body);
  }
  let response;
  try {
    response = await fetch(API_BASE + path, options);
  } catch (e) {
    throw new ApiError(0, -1, '无法连接印控服务');
  }
  let answer = null;
  try {
    answer = await response.json();
  } catch (e) {
    // Not JSON (a proxy's error page, say): the HTTP status is all there is.
  }
  if (response.status === 401) forgetToken('令牌无效或已撤销，请重新输入');
  if (!response.ok || !answer || answer.code !== 0) {
    const code = answer && typeof answer.code === 'number' ? answer.code : response.status;
    let message = answer && answer.message ? answer.message : 'HTTP ' + response.status;
    // What the service itself found wrong, in words (a field out of range, a stale photo).
    if (answer && answer.detail) message += '（' + answer.detail + '）';
    // A busy machine says when to try again.
    const retry = response.headers.get('Retry-After');
    if (response.status === 409 && retry) message += '（' + retry + ' 秒后再试）';
    throw new ApiError(response.status, code, message);
  }
  return answer;
}

// The fields of an answer: the command's data object where the service wraps them in one
// (as `stampctl --json` does), the answer itself otherwise.
function dataOf(answer) {
  return answer && typeof answer.data === 'object' && answer.data !== null ? answer.data : answer;
}

// A photo's cut picture as an object URL for an <img>. An <img src> cannot carry the
// Authorization header, so the bytes come through fetch and a Blob.
async function fetchPhoto(id) {
  const response = await fetch(API_BASE + '/v1/photos/' + encodeURIComponent(id), {
    headers: authHeaders({ Accept: 'image/jpeg' }),
  });
  if (!response.ok) {
    let answer = null;
    try { answer = await response.json(); } catch (e) { /* no JSON body */ }
    if (response.status === 401) forgetToken('令牌无效或已撤销，请重新输入');
    throw new ApiError(response.status, answer ? answer.code : response.status,
                       answer ? answer.message : 'HTTP ' + response.status);
  }
  return URL.createObjectURL(await response.blob());
}

// Follows GET /v1/events until `signal` aborts, calling onEvent(type, data) for each event and
// onState(true/false) when the stream opens or breaks; a broken stream is opened again after a
// pause. The browser's EventSource cannot send an Authorization header, so this reads the
// Server-Sent Events format from a fetch stream itself: lines "event: …" and "data: …", an empty
// line ending each event, lines starting with ":" being keep-alive comments.
async function followEvents(signal, onEvent, onState) {
  while (!signal.aborted) {
    try {
      const response = await fetch(API_BASE + '/v1/events', {
        headers: authHeaders({ Accept: 'text/event-stream' }),
        signal,
      });
      if (response.status === 401) {
        forgetToken('令牌无效或已撤销，请重新输入');
        return;
      }
      if (!response.ok || !response.body) throw new Error('HTTP ' + response.status);
      onState(true);
      const reader = response.body.pipeThrough(new TextDecoderStream()).getReader();
      let buffered = '';
      let type = 'message';
      let data = [];
      for (;;) {
        const { value, done } = await reader.read();
        if (done) break;
        buffered += value;
        let end;
        while ((end = buffered.indexOf('\n')) >= 0) {
          const line = buffered.slice(0, end).replace(/\r$/, '');
          buffered = buffered.slice(end + 1);
          if (line === '') {
            if (data.length) onEvent(type, parseData(data.join('\n')));
            type = 'message';
            data = [];
          } else if (line.startsWith(':')) {
            // keep-alive comment
          } else {
            const colon = line.indexOf(':');
            const field = colon < 0 ? line : line.slice(0, colon);
            const value = colon < 0 ? '' : line.slice(colon + 1).replace(/^ /, '');
            if (field === 'event') type = value;
            else if (field === 'data') data.push(value);
          }
        }
      }
    } catch (e) {
      if (signal.aborted) return;
    }
    onState(false);
    await new Promise((resolve) => setTimeout(resolve, EVENT_RETRY_MS));
  }
}

function parseData(text) {
  try {
    return JSON.parse(text);
  } catch (e) {
    return text;
  }
}

// ---------------------------------------------------------------------------------------------
// The page's state.

const $ = (id) => document.getElementById(id);

const page = {
  photo: null,     // {id, width, height, url} of the photo on show
  point: null,     // {x, y}: the clicked pixel of that photo's cut picture
  zoom: 1,         // CSS pixels per picture pixel
  busy: false,     // a photo or a stamp is under way
  events: null,    // the AbortController of the event stream
};

// ---------------------------------------------------------------------------------------------
// Token

function showLogin(error) {
  $('login').hidden = false;
  $('desk').hidden = true;
  $('logout').hidden = true;
  $('login-error').textContent = error || '';
  $('token').value = '';
  $('token').focus();
}

function forgetToken(reason) {
  sessionStorage.removeItem(TOKEN_KEY);
  if (page.events) page.events.abort();
  page.events = null;
  showLogin(reason);
}

// A token is taken when the service accepts it for a status read.
async function login(candidate) {
  sessionStorage.setItem(TOKEN_KEY, candidate);
  try {
    const answer = await api('GET', '/v1/status');
    showDesk();
    showStatus(dataOf(answer));
  } catch (e) {
    // A refused token has shown the form again; other failures (machine absent: 503) still
    // let the user in, with the reason shown.
    if (e.status === 401) return;
    showDesk();
    showStatus(null, e);
  }
}

function showDesk() {
  $('login').hidden = true;
  $('desk').hidden = false;
  $('logout').hidden = false;
  if (!page.events) {
    page.events = new AbortController();
    followEvents(page.events.signal, onEvent, onEventStream);
  }
}

// ---------------------------------------------------------------------------------------------
// The machine's state, live

const DOOR_TEXT = { open: '打开', closed: '关闭', fault: '故障' };

// Shows a status object ({connected, paper_door, side_door, ready, fault}); without one, the
// error that kept it away.
function showStatus(status, error) {
  const badge = $('link-state');
  if (!status || !status.connected) {
    $('st-connected').textContent = '未连接';
    for (const id of ['st-paper', 'st-side', 'st-ready']) $(id).textContent = '—';
    const fault = error ? error.code + ' ' + error.message
                        : status && status.fault ? status.fault.code + ' ' + status.fault.message : '—';
    $('st-fault').textContent = fault;
    $('st-fault').className = error || (status && status.fault) ? 'fault' : '';
    badge.textContent = '未连接';
    badge.className = 'badge badge-off';
    return;
  }
  $('st-connected').textContent = '已连接';
  $('st-paper').textContent = DOOR_TEXT[status.paper_door] || status.paper_door;
  $('st-side').textContent = DOOR_TEXT[status.side_door] || status.side_door;
  $('st-ready').textContent = status.ready ? '是' : '否';
  $('st-fault').textContent = status.fault ? status.fault.code + ' ' + status.fault.message : '无';
  $('st-fault').className = status.fault ? 'fault' : '';
  badge.textContent = status.fault ? '故障' : status.ready ? '就绪' : '已连接';
  badge.className = 'badge ' + (status.fault ? 'badge-fault' : 'badge-on');
}

// Any event may change the state; the service answers status reads from its last poll, so
// asking again after each event costs the machine nothing.
let statusPending = false;
async function refreshStatus() {
  if (statusPending) return;
  statusPending = true;
  try {
    showStatus(dataOf(await api('GET', '/v1/status')));
  } catch (e) {
    if (e.status !== 401) showStatus(null, e);
  } finally {
    statusPending = false;
  }
}

function onEventStream(open) {
  noteEvent(open ? '事件流已连接' : '事件流已断开，稍后重连');
}

const DOOR_NAME = { paper: '纸门', side: '侧门' };
const STAMP_STATE = { queued: '排队等候', pressing: '正在盖章', done: '完成' };

// The events the service sends, each with a JSON object:
//   status      {connected, paper_door, side_door, ready, fault}: the state (first on connecting)
//   connection  {connected, code, message}: the machine lost or found again
//   door        {door: "paper"|"side", state: "open"|"closed"}
//   fault       {state: "raised"|"cleared", code, message}
//   photo       {id, width, height, bytes}: a photo was taken (by anyone)
//   stamp       {stamp, seal, angle, state: "queued"|"pressing"|"done", code, message}
// Status events are not listed: they only change what the state panel shows.
function onEvent(type, data) {
  data = data && typeof data === 'object' ? data : {};
  switch (type) {
    case 'status':
      showStatus(data);
      return;
    case 'connection':
      noteEvent(data.connected ? '印控仪已连接' : '印控仪连接断开：' + data.code + ' ' + data.message);
      break;
    case 'door':
      noteEvent((DOOR_NAME[data.door] || data.door) + (DOOR_TEXT[data.state] || data.state));
      break;
    case 'fault':
      noteEvent((data.state === 'cleared' ? '故障清除：' : '故障：') + data.code + ' ' + data.message);
      break;
    case 'photo':
      noteEvent('拍照（' + data.width + '×' + data.height + '）');
      break;
    case 'stamp':
      noteEvent('盖章 #' + data.stamp + ' ' + data.seal + '号章 ' + data.angle + '°：' +
                (STAMP_STATE[data.state] || data.state) +
                (data.state === 'done' ? ' ' + data.code + ' ' + data.message : ''));
      break;
    default:
      noteEvent(type + ' ' + JSON.stringify(data));
  }
  // Connection, doors and faults change the state; the service answers this from its last poll.
  if (type === 'connection' || type === 'door' || type === 'fault') refreshStatus();
}

function noteEvent(text) {
  const item = document.createElement('li');
  const time = document.createElement('time');
  time.textContent = new Date().toLocaleTimeString('zh-CN', { hour12: false });
  item.append(time, text);
  const list = $('events');
  list.prepend(item);
  while (list.children.length > EVENT_LIST_LENGTH) list.lastChild.remove();
}

// ---------------------------------------------------------------------------------------------
// Photo, zoom and click

function say(text, isError) {
  $('message').textContent = text;
  $('message').className = isError ? 'error' : '';
}

function setBusy(busy) {
  page.busy = busy;
  $('take-photo').disabled = busy;
  $('stamp').disabled = busy || !page.photo || !page.point;
}

// Takes a photo and shows it. The clicked point stays: after a stamp it marks where the
// impression should be.
async function takePhoto() {
  const answer = dataOf(await api('POST', '/v1/photos'));
  const url = await fetchPhoto(answer.id);
  await showPhoto(answer.id, url);
}

// Loads the picture and sizes the view to it. The picture's own pixel size (naturalWidth and
// naturalHeight) is what clicks are mapped to, so the mapping holds whatever the zoom.
function showPhoto(id, url) {
  return new Promise((resolve, reject) => {
    const img = $('photo');
    img.onload = () => {
      const first = !page.photo;
      if (page.photo) URL.revokeObjectURL(page.photo.url);
      page.photo = { id, url, width: img.naturalWidth, height: img.naturalHeight };
      $('no-photo').hidden = true;
      $('sheet').hidden = false;
      if (first) fitZoom(); else applyZoom(page.zoom);
      // The cross stays on the same pixel, which a new picture of another size puts elsewhere.
      if (page.point && (page.point.x >= page.photo.width || page.point.y >= page.photo.height)) {
        clearPoint();
      } else if (page.point) {
        markPoint(page.point);
      }
      resolve();
    };
    img.onerror = () => reject(new ApiError(0, -1, '照片无法显示'));
    img.src = url;
  });
}

// Sizes the sheet to the picture times `zoom`, keeping the picture pixel at the view's point
// (ox, oy) (view pixels; the view's centre by default) where it was.
function applyZoom(zoom, ox, oy) {
  if (!page.photo) return;
  const view = $('view');
  if (ox === undefined) { ox = view.clientWidth / 2; oy = view.clientHeight / 2; }
  const px = (view.scrollLeft + ox) / page.zoom;
  const py = (view.scrollTop + oy) / page.zoom;
  page.zoom = Math.min(ZOOM_MAX, Math.max(ZOOM_MIN, zoom));
  const sheet = $('sheet');
  sheet.style.width = page.photo.width * page.zoom + 'px';
  sheet.style.height = page.photo.height * page.zoom + 'px';
  view.scrollLeft = px * page.zoom - ox;
  view.scrollTop = py * page.zoom - oy;
  showPointer();
}

function fitZoom() {
  const view = $('view');
  applyZoom(Math.min(view.clientWidth / page.photo.width, view.clientHeight / page.photo.height));
  view.scrollLeft = 0;
  view.scrollTop = 0;
}

// The picture pixel under a mouse event: the offset into the picture as shown, scaled by the
// picture's size over its shown size, rounded down. Both sizes come from the browser, so no
// rounding of the zoom or the scroll position can shift the answer.
function pixelAt(event) {
  const rect = $('photo').getBoundingClientRect();
  const x = Math.floor((event.clientX - rect.left) * page.photo.width / rect.width);
  const y = Math.floor((event.clientY - rect.top) * page.photo.height / rect.height);
  if (x < 0 || y < 0 || x >= page.photo.width || y >= page.photo.height) return null;
  return { x, y };
}

function showPointer(pixel) {
  const zoom = Math.round(page.zoom * 100) + '%';
  $('pointer').textContent = pixel ? pixel.x + ', ' + pixel.y + '像素,  缩放:' + zoom : '缩放:' + zoom;
}

// The cross goes on the pixel's centre, in percent of the sheet, so zooming keeps it there.
function markPoint(pixel) {
  page.point = pixel;
  const cross = $('cross');
  cross.style.left = (pixel.x + 0.5) * 100 / page.photo.width + '%';
  cross.style.top = (pixel.y + 0.5) * 100 / page.photo.height + '%';
  cross.hidden = false;
  setBusy(page.busy);
}

function clearPoint() {
  page.point = null;
  $('cross').hidden = true;
  $('verdict').textContent = '盖章坐标';
  setBusy(page.busy);
}

const BLANK_TEXT = { blank: '盖章区域空白', print: '盖章区域非空白', unknown: '盖章区域未知' };

// A click chooses the stamp position. The line beneath gives the service's judgement of it
// (GET /v1/photos/{id}/check): whether the machine may stamp there, and whether the paper there
// is blank. The position is taken whatever the judgement; the stamp itself is refused where
// the service's configuration says so.
async function onClick(event) {
  // Only the picture itself: a click on the view's scroll bars has the view as its target.
  if (!page.photo || event.button !== 0 || event.target !== $('photo')) return;
  const pixel = pixelAt(event);
  if (!pixel) return;
  markPoint(pixel);
  const where = 'x:' + pixel.x + ', y:' + pixel.y;
  $('verdict').textContent = where;
  const photo = page.photo.id;
  let text;
  try {
    const check = dataOf(await api('GET', '/v1/photos/' + encodeURIComponent(photo) +
                                          '/check?x=' + pixel.x + '&y=' + pixel.y));
    text = where + (check.position.code === 0 ? ', 合法' : '，非法') + ', ' +
           (BLANK_TEXT[check.blank] || BLANK_TEXT.unknown);
  } catch (e) {
    text = where + ', ' + BLANK_TEXT.unknown + '（' + e.message + '）';
  }
  // Unless a later click or photo has taken over meanwhile.
  if (page.point === pixel && page.photo.id === photo) $('verdict').textContent = text;
}

// ---------------------------------------------------------------------------------------------
// Stamp

function chosen(name) {
  return Number(document.querySelector('input[name="' + name + '"]:checked').value);
}

// Stamps at the clicked pixel of the photo on show, then photographs the sheet again so the
// impression can be seen under the cross.
async function stamp() {
  if (!page.photo || !page.point) {
    say('请先拍照并在图片上点击盖章位置', true);
    return;
  }
  const request = {
    seal: chosen('seal'),
    angle: chosen('angle'),
    photo: page.photo.id,
    pixel: [page.point.x, page.point.y],
    across_page: $('across-page').checked,
  };
  setBusy(true);
  say('正在盖章…');
  try {
    await api('POST', '/v1/stamps', request);
    say('用印成功，正在拍照…');
    await takePhoto();
    say('用印成功');
  } catch (e) {
    say(e.code + ' ' + e.message, true);
  } finally {
    setBusy(false);
  }
}

// ---------------------------------------------------------------------------------------------
// Wiring

function wire() {
  $('login-form').addEventListener('submit', (event) => {
    event.preventDefault();
    const candidate = $('token').value.trim();
    if (candidate) login(candidate);
  });
  $('logout').addEventListener('click', () => forgetToken(''));

  $('take-photo').addEventListener('click', async () => {
    setBusy(true);
    say('正在拍照…');
    try {
      await takePhoto();
      say('拍照完成，请点击盖章位置');
    } catch (e) {
      say(e.code + ' ' + e.message, true);
    } finally {
      setBusy(false);
    }
  });
  $('stamp').addEventListener('click', stamp);

  const view = $('view');
  view.addEventListener('click', onClick);
  view.addEventListener('mousemove', (event) => {
    if (page.photo) showPointer(pixelAt(event));
  });
  // The wheel zooms about the pointer, as in the service tool; the scroll bars pan.
  view.addEventListener('wheel', (event) => {
    if (!page.photo) return;
    event.preventDefault();
    const rect = view.getBoundingClientRect();
    const factor = event.deltaY < 0 ? ZOOM_STEP : 1 / ZOOM_STEP;
    applyZoom(page.zoom * factor, event.clientX - rect.left - view.clientLeft,
              event.clientY - rect.top - view.clientTop);
    showPointer(pixelAt(event));
  }, { passive: false });
  $('zoom-in').addEventListener('click', () => applyZoom(page.zoom * ZOOM_STEP));
  $('zoom-out').addEventListener('click', () => applyZoom(page.zoom / ZOOM_STEP));
  $('zoom-fit').addEventListener('click', () => { if (page.photo) fitZoom(); });

  if (token()) login(token()); else showLogin('');
}

wire();
