% ZEL feature maps: per-pixel feature maps from oriented filter responses.
% Version 0.1.0 10-Dec-2026
%
% From an image to the maps in one call
%   ZELgetFeatureMaps       - Every feature map of an image in one call.
%
% From an image to the inputs
%   ZELgetResponseStack     - Oriented filter bank: Gaussian-derivative responses of an image.
%   ZELgetIndexMaps         - Index maps: the orientation and scale of the peak of |R| at every pixel.
%   ZELgetScaleTable        - Scale table: the width of line each scale of the filter bank responds to most.
%   ZELgetProfileTable      - Profile table and gain: the filter bank's response to a structure across widths.
%
% Feature maps
%   ZELgetBlobMap           - Blob map: a score per pixel from the weakest oriented response at every scale.
%   ZELgetRidgeMap          - Ridge map: a score per pixel from the response at its selected orientation.
%   ZELgetEdgeMap           - Edge map: a score per pixel from the response summed over the scales.
%   ZELgetHeightAndWidthMap - Height and width maps from peak interpolation across scales.
%   ZELgetOrientationMap    - Orientation map: an angle in degrees per pixel from peak interpolation.
%   ZELgetCurvatureMap      - Curvature map: the change of orientation along one-pixel-wide curves.
%
% Large images, the demo
%   ZELmapInTiles           - A map of a large image made tile by tile, serially or by worker processes.
%   ZELdemo                 - The feature maps of an image as pictures: the demo.
%   ZELdemoImage            - The demo's synthetic image: lines, arcs, steps and spots of known geometry.
%
% maps = ZELgetFeatureMaps(image) gives every map of an image; its second
% output holds the inputs of each map's call. The maps' inputs: a response
% stack R (rows x cols x orientations x scales) from ZELgetResponseStack,
% index maps that select an orientation and a scale per pixel (uint16) from
% ZELgetIndexMaps, tables from ZELgetScaleTable and ZELgetProfileTable, and
% scalars. help NAME describes each function in full.
%
% Copyright (c) 2026, The ZEL feature maps developers. BSD 3-Clause License.
