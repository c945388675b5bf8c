function zel_bench_feature_maps(n, precision, tile, reps, parts)
%ZEL_BENCH_FEATURE_MAPS  Times ZELgetFeatureMaps in this Octave process.
%   zel_bench_feature_maps(n, precision, tile, reps, parts)
%
%   On the demo's image at n x n pixels, with the stacks in PRECISION and
%   tiles of TILE pixels (Inf: the whole image at once; 0: the default
%   TileSize of ZELgetFeatureMaps), REPS times each:
%     - ZELgetFeatureMaps, image to all seven maps: the time, and the peak
%       resident memory it adds beside the image and the maps (VmHWM of
%       /proc/self/status, reset before each call through clear_refs);
%     - with PARTS true, also the six map calls alone on the inputs of the
%       same image (made once by [maps, inputs] = ZELgetFeatureMaps(...),
%       the whole image at once), and where the time of one call of
%       ZELgetFeatureMaps goes, from Octave's profiler.
%   Prints one line per measurement and a summary line with the best time
%   and the spread (slowest over fastest, less one).

if nargin < 5
    parts = true;
end
image = ZELdemoImage(n);
options = {'Precision', precision};
if tile > 0
    options = [options, {'TileSize', tile}];
end
map_bytes = 7 * 8 * n * n;

times = zeros(1, reps);
peaks = zeros(1, reps);
for k = 1:reps
    before = status_kib('VmRSS');
    reset_peak();
    started = tic;
    maps = ZELgetFeatureMaps(image, options{:});
    times(k) = toc(started);
    peaks(k) = status_kib('VmHWM') - before - map_bytes / 1024;
    fprintf('feature_maps %s n=%d tile=%g rep=%d time=%.3f s peak_beside=%.0f MiB\n', ...
            precision, n, tile, k, times(k), peaks(k) / 1024);
    clear maps
end
summary('feature_maps', precision, n, tile, times, peaks);
if ~parts
    return;
end

[~, inputs] = ZELgetFeatureMaps(image, options{:});
calls = {'ZELgetHeightAndWidthMap', 2; 'ZELgetBlobMap', 1; 'ZELgetRidgeMap', 1; 'ZELgetEdgeMap', 1; ...
         'ZELgetOrientationMap', 1; 'ZELgetCurvatureMap', 1};
alone = zeros(1, reps);
each = zeros(size(calls, 1), reps);
for k = 1:reps
    for j = 1:size(calls, 1)
        outputs = cell(1, calls{j, 2});
        started = tic;
        [outputs{:}] = feval(calls{j, 1}, inputs.(calls{j, 1}){:});
        each(j, k) = toc(started);
        clear outputs
    end
    alone(k) = sum(each(:, k));
    fprintf('six_maps %s n=%d rep=%d time=%.3f s\n', precision, n, k, alone(k));
end
summary('six_maps', precision, n, tile, alone, []);
for j = 1:size(calls, 1)
    fprintf('  %-24s best %.3f s\n', calls{j, 1}, min(each(j, :)));
end
fprintf('ratio %s n=%d tile=%g best feature_maps / best six_maps = %.2f\n', precision, n, tile, min(times) / min(alone));
clear inputs

% Where the time of one call goes: the profiler's call tree, each function's
% time with what it called, the penalty stacks counted where the maps are
% made.
profile('clear');
profile('on');
started = tic;
maps = ZELgetFeatureMaps(image, options{:});
total = toc(started);
profile('off');
clear maps
info = profile('info');
names = {info.FunctionTable.FunctionName};
groups = {'filter bank', {'ZELgetResponseStack'};
          'index maps', {'ZELgetIndexMaps'};
          'penalty stacks (abs, 0.25*R1)', {'tile_maps:abs', 'tile_maps:binary *'};
          'height and width', {'ZELgetHeightAndWidthMap'};
          'blob', {'ZELgetBlobMap'};
          'ridge', {'ZELgetRidgeMap'};
          'edge', {'ZELgetEdgeMap'};
          'orientation', {'ZELgetOrientationMap'};
          'centre lines and thinning', {'ZELgetFeatureMaps>centre_lines'};
          'curvature', {'ZELgetCurvatureMap'}};
spent = tree_times(info.Hierarchical, names, '', groups);
fprintf('where the time goes (%s, n=%d, tile=%g, profiled call %.3f s):\n', precision, n, tile, total);
for g = 1:size(groups, 1)
    fprintf('  %-32s %7.3f s  %5.1f%%\n', groups{g, 1}, spent(g), 100 * spent(g) / total);
end
fprintf('  %-32s %7.3f s  %5.1f%%\n', 'the rest (M code, tiles, copies)', total - sum(spent), ...
        100 * (total - sum(spent)) / total);
end

% The time of each group of GROUPS in the call tree NODES: a function's
% TotalTime, with what it called, where its name (or its parent's short
% name, a colon and its name) is in the group; nothing below a counted node
% is counted again.
function spent = tree_times(nodes, names, parent, groups)
spent = zeros(size(groups, 1), 1);
for k = 1:numel(nodes)
    name = names{nodes(k).Index};
    short = regexprep(parent, '^.*>', '');
    counted = false;
    for g = 1:size(groups, 1)
        if any(strcmp(name, groups{g, 2})) || any(strcmp([short ':' name], groups{g, 2}))
            spent(g) = spent(g) + nodes(k).TotalTime;
            counted = true;
        end
    end
    if ~counted && ~isempty(nodes(k).Children)
        spent = spent + tree_times(nodes(k).Children, names, name, groups);
    end
end
end

function summary(what, precision, n, tile, times, peaks)
line = sprintf('summary %s %s n=%d tile=%g best=%.3f s spread=%.0f%%', what, precision, n, tile, ...
               min(times), 100 * (max(times) / min(times) - 1));
if ~isempty(peaks)
    line = sprintf('%s peak_beside=%.0f..%.0f MiB', line, min(peaks) / 1024, max(peaks) / 1024);
end
fprintf('%s\n', line);
end

function kib = status_kib(field)
text = fileread('/proc/self/status');
kib = str2double(regexp(text, [field ':\s*(\d+)'], 'tokens', 'once'));
end

% Resets VmHWM to the current resident size.
function reset_peak()
fid = fopen('/proc/self/clear_refs', 'w');
fprintf(fid, '5');
fclose(fid);
end
